#include "crash/crash_command.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include <typeinfo>

#include <gtest/gtest.h>

#include "crash/hw_exception.h"
#include "crash/thrown_type.h"

namespace qor {
namespace {

CrashDumpRequest SampleRequest() {
    CrashDumpRequest r;
    r.processId = 0x1A2C;
    r.threadId = 0x9;
    r.exceptionPointers = 0x12FF7C;
    r.event = 0x3C;
    return r;
}

std::wstring Format(const CrashDumpRequest& request, const CrashSettings& settings,
                    std::size_t pointerBytes) {
    wchar_t out[kCrashCommandChars];
    if (!FormatCrashDumpCommand(request, settings, pointerBytes, out)) return L"<too long>";
    return out;
}

// The plain and the native command of both widths are checked end to end.
TEST(CrashDumpCommand, BothKindsWithEverySwitch) {
    struct Case {
        std::uint32_t flavour; bool quiet, native; const wchar_t *toolPath, *extra;
        std::size_t pointerBytes; const wchar_t* expected;
    };
    const Case cases[] = {
        {1, true, false, L"C:\\T\\d.exe", L" -x", 4,
         L"\"C:\\T\\d.exe\" -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C -D admin -q -x"},
        // A set tool path does not show in the native command line.
        {7, true, true, L"C:\\T\\d.exe", nullptr, 4, L". -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C  -q"},
        {2, false, false, L"", L"", 4, L"\"qordumpx\" -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C "},
    };
    for (const Case& c : cases) {
        CrashDumpRequest request = SampleRequest();
        request.flavour = c.flavour;
        request.quiet = c.quiet;
        request.native = c.native;
        EXPECT_EQ(Format(request, CrashSettings{0, false, c.toolPath, c.extra}, c.pointerBytes),
                  c.expected);
    }
}

TEST(CrashDumpCommand, FullWidthValuesAndNoEvent) {
    CrashDumpRequest request;
    request.processId = 0xFFFFFFFF;
    request.threadId = 0;
    request.exceptionPointers = static_cast<std::uintptr_t>(-1);
    EXPECT_EQ(Format(request, {}, sizeof(void*)),
              sizeof(void*) == 8
                  ? L"\"qordumpx\" -p 0xffffffff -c 0x0 0xFFFFFFFFFFFFFFFF -e 0x0000000000000000 -D _qor"
                  : L"\"qordumpx\" -p 0xffffffff -c 0x0 0xFFFFFFFF -e 0x00000000 -D _qor");
}

TEST(CrashDumpCommand, LongToolPathFillsTheBufferOrLaunchesNothing) {
    const std::wstring tail = L"\" -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C -D _qor";
    const std::size_t room = kCrashCommandChars - 1 - 1 - tail.size();
    for (std::size_t length : {room - 1, room, room + 1, std::size_t{1000}}) {
        const std::wstring path(length, L'p');
        wchar_t out[kCrashCommandChars];
        out[0] = L'?';
        const bool fits = FormatCrashDumpCommand(SampleRequest(), {0, false, path.c_str(), nullptr},
                                                 4, out);
        EXPECT_EQ(fits, length <= room) << length;
        EXPECT_EQ(std::wstring(out), fits ? L"\"" + path + tail : L"") << length;
    }
}

TEST(ThrownObjectWithInfo, OnlyAPlatformCxxExceptionWithTheGivenInfo) {
    const int object = 0;
    const char info = 0, otherInfo = 0;
    const auto at = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
    struct Case { std::uint32_t code; std::size_t count; std::uintptr_t words[3]; bool found; };
    const Case cases[] = {
        {kPlatformCxxExceptionCode, 3, {kPlatformCxxMagic, at(&object), at(&info)}, true},
        {0xC0000005, 3, {kPlatformCxxMagic, at(&object), at(&info)}, false},
        {kPlatformCxxExceptionCode, 3, {0x19930520, at(&object), at(&info)}, false},
        {kPlatformCxxExceptionCode, 3, {kPlatformCxxMagic, at(&object), at(&otherInfo)}, false},
        {kPlatformCxxExceptionCode, 3, {kPlatformCxxMagic, at(&object), 0}, false},
        {kPlatformCxxExceptionCode, 2, {kPlatformCxxMagic, at(&object), at(&info)}, false},
    };
    for (const Case& c : cases) {
        const RaisedException raised{c.code, c.count, c.words};
        EXPECT_EQ(ThrownObjectWithInfo(raised, &info), c.found ? &object : nullptr);
    }
    EXPECT_EQ(ThrownObjectWithInfo({kPlatformCxxExceptionCode, 3, nullptr}, &info), nullptr);
}

// Memory of a crashing process: one block at `base`; anything outside it cannot be read.
class FakeMemory final : public MemoryReader {
public:
    FakeMemory(std::uintptr_t base, std::size_t pointerBytes)
        : base_(base), pointerBytes_(pointerBytes), bytes_(0x800, 0) {}
    bool Read(std::uintptr_t address, void* out, std::size_t size) const noexcept override {
        if (address < base_ || address - base_ > bytes_.size() - size) return false;
        std::memcpy(out, bytes_.data() + (address - base_), size);
        return true;
    }
    void Put(std::size_t at, std::uint64_t value, std::size_t size = 4) {
        std::memcpy(bytes_.data() + at, &value, size);  // little-endian host
    }
    void PutPointer(std::size_t at, std::uint64_t value) { Put(at, value, pointerBytes_); }
    void PutName(std::size_t descriptor, const std::string& name) {
        std::memcpy(bytes_.data() + descriptor + 2 * pointerBytes_, name.c_str(), name.size() + 1);
    }
    // A place as the throw information holds it: an address, or an offset from the image.
    std::uint32_t Ref(std::size_t at) const {
        return static_cast<std::uint32_t>(pointerBytes_ == 8 ? at : base_ + at);
    }
    std::uintptr_t At(std::size_t at) const { return base_ + at; }

private:
    std::uintptr_t base_;
    std::size_t pointerBytes_;
    std::vector<unsigned char> bytes_;
};

// A throw of another compiler: the object at 0x100 (its pointers field holding 0xFA17), the
// throw information at 0x200, catchable types for the derived class and for `baseName`.
FakeMemory ForeignThrow(std::size_t pointerBytes, const std::string& baseName) {
    FakeMemory m(pointerBytes == 8 ? 0x140000000 : 0x400000, pointerBytes);
    m.PutPointer(0x100 + pointerBytes + 8, 0xFA17);
    m.Put(0x200 + 12, m.Ref(0x300));
    m.Put(0x300, 2);
    m.Put(0x304, m.Ref(0x400));
    m.Put(0x308, m.Ref(0x440));
    for (const auto& [type, descriptor] : {std::pair{0x400, 0x500}, {0x440, 0x580}}) {
        m.Put(type + 4, m.Ref(descriptor));
        m.Put(type + 12, 0xFFFFFFFF);  // pdisp -1: no virtual base
    }
    m.PutName(0x500, ".?AVQorBasSyncThreadAccessViolationHwException@@");
    m.PutName(0x580, baseName);
    return m;
}

// Another module's throw: its class is found by name among the catchable types, wherever the
// class lies in the object; anything unreadable or unnamed finds nothing.
TEST(ThrownClassObject, TheHardwareExceptionClassByNameInEitherLayout) {
    for (const std::size_t width : {std::size_t{4}, std::size_t{8}}) {
        SCOPED_TRACE(width);
        FakeMemory m = ForeignThrow(width, ".?AVQorBasSyncThreadHwException@qor@@");
        const std::uintptr_t words[4] = {kPlatformCxxMagic, m.At(0x100), m.At(0x200), m.At(0)};
        const RaisedException raised{kPlatformCxxExceptionCode, width == 8 ? 4u : 3u, words};
        const std::uintptr_t part = ThrownClassObject(raised, width, kHwExceptionTypeName, m);
        EXPECT_EQ(part, m.At(0x100));
        EXPECT_EQ(StoredExceptionPointers(part, width, m), 0xFA17u);

        // The base class behind a virtual base table: 0x20 in the object, table at 0x600
        // whose second entry is 0x40; then 8 further.
        m.Put(0x440 + 8, 8);
        m.Put(0x440 + 12, 0x20);
        m.Put(0x440 + 16, 4);
        m.PutPointer(0x100 + 0x20, m.At(0x600));
        m.Put(0x604, 0x40);
        EXPECT_EQ(ThrownClassObject(raised, width, kHwExceptionTypeName, m), m.At(0x168));

        const FakeMemory other = ForeignThrow(width, ".?AVQorBasSyncThreadHwExceptionEx@@");
        EXPECT_EQ(ThrownClassObject(raised, width, kHwExceptionTypeName, other), 0u);
        const std::uintptr_t unreadable[4] = {kPlatformCxxMagic, m.At(0x100), m.At(0x7F8), m.At(0)};
        EXPECT_EQ(ThrownClassObject({kPlatformCxxExceptionCode, 4, unreadable}, width,
                                    kHwExceptionTypeName, m), 0u);
    }
    FakeMemory m = ForeignThrow(8, ".?AVQorBasSyncThreadHwException@@");
    const std::uintptr_t words[3] = {kPlatformCxxMagic, m.At(0x100), m.At(0x200)};
    EXPECT_EQ(ThrownClassObject({kPlatformCxxExceptionCode, 3, words}, 8, kHwExceptionTypeName, m),
              0u) << "no image base";
}

// The class the translator threw, its kind and what it carries; "none" when it returned.
struct Thrown {
    const std::type_info* type = nullptr;
    std::uint32_t kind = 0, code = 0;
    std::uintptr_t dataAddress = 0, instructionAddress = 0;
};

Thrown Translate(HwTranslator translator, std::uint32_t code) {
    static int record;
    const HwExceptionFacts facts{code, &record, 0xDA7A, 0x1C0DE};
    Thrown t;
    try {
        ThrowTranslatedHwException(translator, facts);
    } catch (const HwFaultAddressException& e) {
        EXPECT_EQ(e.ExceptionPointers(), &record);
        t = {&typeid(e), e.Kind(), e.ExceptionCode(), e.DataAddress(), e.InstructionAddress()};
    } catch (const QorBasSyncThreadHwException& e) {
        EXPECT_EQ(e.ExceptionPointers(), &record);
        t = {&typeid(e), e.Kind(), e.ExceptionCode(), 0, 0};
    }
    return t;
}

// Every row of the table; the fault classes carry the addresses.
TEST(HwExceptionTranslation, FullTranslatorCodeToKindAndClass) {
    const auto& av = typeid(QorBasSyncThreadAccessViolationHwException);
    const auto& inPage = typeid(QorBasSyncThreadInPageErrorHwException);
    const auto& base = typeid(QorBasSyncThreadHwException);
    const auto& overflow = typeid(QorBasSyncThreadStackOverflowHwException);
    struct Row { std::uint32_t code, kind; const std::type_info& type; } const rows[] = {
        {0xC0000005, 1, av},        {0xC0000006, 2, inPage},   {0x80000003, 3, base},
        {0x80000002, 4, base},      {0xC000008E, 5, base},     {0xC0000091, 6, base},
        {0xC0000093, 7, base},      {0xC000008D, 8, base},     {0xC000001D, 9, base},
        {0xC0000096, 10, base},     {0xC0000094, 11, base},    {0xC0000095, 12, base},
        {0x80000004, 13, base},     {0xC00000FD, 14, overflow}, {0xC0000374, 15, overflow},
        {0, 15, overflow},          {0xE06D7363, 15, overflow},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const Thrown t = Translate(HwTranslator::Full, row.code);
        ASSERT_NE(t.type, nullptr);
        EXPECT_EQ(*t.type, row.type);
        EXPECT_EQ(t.kind, row.kind);
        EXPECT_EQ(t.code, row.code);
        EXPECT_EQ(HwExceptionKindOf(row.code).kind, row.kind);
        if (row.kind <= 2) {
            EXPECT_EQ(t.dataAddress, 0xDA7Au);
            EXPECT_EQ(t.instructionAddress, 0x1C0DEu);
        }
    }
}

TEST(HwExceptionTranslation, ThreadOptionsChooseTheTranslator) {
    EXPECT_EQ(TranslatorForThreadOptions(0), HwTranslator::None);
    EXPECT_EQ(TranslatorForThreadOptions(1), HwTranslator::Full);
    EXPECT_EQ(TranslatorForThreadOptions(2), HwTranslator::InPageErrorOnly);
    EXPECT_EQ(TranslatorForThreadOptions(3), HwTranslator::Full);
    EXPECT_EQ(TranslatorForThreadOptions(4), HwTranslator::None);

    // In-page errors only: everything else passes untranslated.
    const Thrown inPage = Translate(HwTranslator::InPageErrorOnly, 0xC0000006);
    ASSERT_NE(inPage.type, nullptr);
    EXPECT_EQ(*inPage.type, typeid(QorBasSyncThreadInPageErrorHwException));
    for (std::uint32_t code : {0xC0000005u, 0xC00000FDu, 0x12345678u}) {
        EXPECT_EQ(Translate(HwTranslator::InPageErrorOnly, code).type, nullptr) << std::hex << code;
        EXPECT_EQ(Translate(HwTranslator::None, code).type, nullptr) << std::hex << code;
    }
}

}  // namespace
}  // namespace qor
