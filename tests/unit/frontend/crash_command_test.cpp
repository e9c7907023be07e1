#include "frontend/crash_command.h"

#include <string>

#include <gtest/gtest.h>

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

TEST(CrashDumpCommand, BothKindsWithEverySwitch) {
    struct Case {
        std::uint32_t flavour;
        bool quiet;
        bool native;
        const wchar_t* toolPath;
        const wchar_t* extra;
        std::size_t pointerBytes;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, false, false, nullptr, nullptr, 4,
         L"\"qordumpx\" -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C -D _qor"},
        {0, false, false, nullptr, nullptr, 8,
         L"\"qordumpx\" -p 0x1a2c -c 0x9 0x000000000012FF7C -e 0x000000000000003C -D _qor"},
        {0, false, true, nullptr, nullptr, 4, L". -p 0x1a2c -c 0x9 0x0012FF7C -e 0x0000003C -D _qor"},
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
    const char info = 0;
    const char otherInfo = 0;
    const auto at = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
    struct Case {
        std::uint32_t code;
        std::size_t count;
        std::uintptr_t words[3];
        bool found;
    };
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

}  // namespace
}  // namespace qor
