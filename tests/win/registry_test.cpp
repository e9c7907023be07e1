// The native registry layer against values written with the Win32 registry calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win/registry_key_win.h"

namespace qor {
namespace {

constexpr wchar_t kTestKey[] = L"QorRegistryLayerTest";
constexpr wchar_t kTestPath[] = L"SOFTWARE\\QorRegistryLayerTest";

// A key created with the Win32 calls in one view; deleted with its values at the end.
struct ScratchKey {
    ScratchKey(HKEY root, const wchar_t* parent, const wchar_t* keyName, REGSAM view = 0)
        : name(keyName) {
        const REGSAM access = KEY_ALL_ACCESS | view;
        EXPECT_EQ(RegCreateKeyExW(root, parent, 0, nullptr, 0, access, nullptr, &above, nullptr), 0);
        EXPECT_EQ(RegCreateKeyExW(above, keyName, 0, nullptr, 0, access, nullptr, &key, nullptr), 0);
    }
    ~ScratchKey() {
        RegCloseKey(key);
        EXPECT_EQ(RegDeleteKeyW(above, name.c_str()), ERROR_SUCCESS);
        RegCloseKey(above);
    }
    void Set(const wchar_t* value, DWORD type, const void* data, std::size_t bytes) {
        ASSERT_EQ(RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(bytes)), ERROR_SUCCESS);
    }
    void SetText(const wchar_t* value, const std::wstring& text, DWORD type = REG_SZ) {
        Set(value, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    void SetDword(const wchar_t* value, DWORD number, DWORD type = REG_DWORD) {
        Set(value, type, &number, sizeof number);
    }

    std::wstring name;
    HKEY above = nullptr, key = nullptr;
};

struct Read { ResultCode code; std::wstring text; };

Read ReadText(RegistryRoot root, const std::wstring& path, const std::wstring& value,
              RegistryView view = RegistryView::Default) {
    Read read{0, L"untouched"};
    read.code = WinRegistryReader().ReadString(root, path, value, view, read.text);
    return read;
}

ResultCode ReadNumber(const std::wstring& value, std::uint32_t& out) {
    return WinRegistryReader().ReadDword(RegistryRoot::CurrentUser, kTestPath, value,
                                         RegistryView::Default, out);
}

TEST(RegistryViews, EachViewReadsItsOwnKey) {
    if (!IsNative64BitSystem()) GTEST_SKIP() << "a 32-bit Windows has one registry view";
    ScratchKey wow32(HKEY_LOCAL_MACHINE, L"SOFTWARE", kTestKey, KEY_WOW64_32KEY);
    ScratchKey wow64(HKEY_LOCAL_MACHINE, L"SOFTWARE", kTestKey, KEY_WOW64_64KEY);
    wow32.SetText(L"Where", L"wow32");
    wow32.SetDword(L"Bits", 32);
    wow64.SetText(L"Where", L"native");
    wow64.SetDword(L"Bits", 64);
    ASSERT_EQ(ReadText(RegistryRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\QorRegistryLayerTest",
                       L"Where").text, L"wow32");

    const bool own64 = sizeof(void*) == 8;  // the process's own view
    for (const auto& [view, native] : {std::pair{RegistryView::Default, own64},
                                       {RegistryView::Wow32, false}, {RegistryView::Wow64, true},
                                       {RegistryView::Native, true}}) {
        SCOPED_TRACE(static_cast<int>(view));
        const Read read = ReadText(RegistryRoot::LocalMachine, kTestPath, L"Where", view);
        EXPECT_EQ(read.code, rc::Ok);
        EXPECT_EQ(read.text, native ? L"native" : L"wow32");
        std::uint32_t bits = 0;
        EXPECT_EQ(WinRegistryReader().ReadDword(RegistryRoot::LocalMachine, kTestPath, L"Bits",
                                                view, bits), rc::Ok);
        EXPECT_EQ(bits, native ? 64u : 32u);
    }
}

TEST(RegistryValues, DwordsNeedTheirTypeAndFourBytes) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    key.SetDword(L"Little", 0x11223344);
    key.SetDword(L"Big", 0x12345678, REG_DWORD_BIG_ENDIAN);
    key.Set(L"Short", REG_DWORD, "\x01\x02\x03", 3);
    key.Set(L"Long", REG_DWORD, "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    key.SetText(L"Text", L"1");
    const std::vector<std::uint8_t> blob(1 << 20, 0x41);
    key.Set(L"Blob", REG_BINARY, blob.data(), blob.size());

    std::uint32_t out = 0;
    ASSERT_EQ(ReadNumber(L"Little", out), rc::Ok);
    EXPECT_EQ(out, 0x11223344u);
    ASSERT_EQ(ReadNumber(L"Big", out), rc::Ok);
    EXPECT_EQ(out, 0x78563412u);
    out = 0xCAFE;
    for (const auto& [value, code] : {std::pair{L"Short", rc::BadLength}, {L"Long", rc::BadLength},
                                      {L"Text", rc::RegistryWrongType}, {L"Blob", rc::RegistryWrongType},
                                      {L"Missing", rc::FileNotFound}}) {
        EXPECT_EQ(ReadNumber(value, out), code) << value;
    }
    EXPECT_EQ(out, 0xCAFEu);
}

// Up to the terminator, whatever the length; beyond 8 MiB refused unread.
TEST(RegistryValues, StringsAreReadUpToTheirTerminatorAndTheLimit) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    key.SetText(L"Text", L"hello");
    key.SetText(L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    key.Set(L"Unterminated", REG_SZ, L"abc", 7);  // three characters and a stray byte
    key.Set(L"Empty", REG_SZ, L"", 0);
    key.Set(L"Blob", REG_BINARY, "\x61\x00", 2);
    std::wstring huge(512 * 1024, L'h');  // 1 MiB of text, no terminator
    huge.back() = L'z';
    key.Set(L"Huge", REG_SZ, huge.data(), huge.size() * sizeof(wchar_t));
    const std::vector<std::uint8_t> tooLarge((8 << 20) + 2, 0x41);  // just over 8 MiB
    key.Set(L"TooLarge", REG_SZ, tooLarge.data(), tooLarge.size());
    key.Set(L"TooLargeBlob", REG_BINARY, tooLarge.data(), tooLarge.size());

    const auto read = [](const wchar_t* value) {
        return ReadText(RegistryRoot::CurrentUser, kTestPath, value);
    };
    EXPECT_EQ(read(L"Text").text, L"hello");
    EXPECT_EQ(read(L"Expand").text, L"%SystemRoot%\\x");
    EXPECT_EQ(read(L"Unterminated").text, L"abc");
    EXPECT_EQ(read(L"Empty").text, L"");
    const Read big = read(L"Huge");
    ASSERT_EQ(big.code, rc::Ok);
    EXPECT_TRUE(big.text == huge);
    for (const auto& [value, code] : {std::pair{L"Blob", rc::RegistryWrongType},
                                      {L"TooLarge", rc::BadLength},
                                      {L"TooLargeBlob", rc::RegistryWrongType}}) {
        const Read refused = read(value);
        EXPECT_EQ(refused.code, code) << value;
        EXPECT_EQ(refused.text, L"untouched") << value;
    }
    EXPECT_EQ(read(L"Missing").code, rc::FileNotFound);
}

TEST(RegistryKeys, MissingKeysAndBadArgumentsGiveCodes) {
    using enum RegistryRoot;
    const auto code = [](RegistryRoot root, const std::wstring& path, const std::wstring& value,
                         RegistryView view = RegistryView::Default) {
        const Read read = ReadText(root, path, value, view);
        EXPECT_EQ(read.text, L"untouched");
        return read.code;
    };
    const std::wstring tooLong(40000, L'k');
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE\\QorNoSuchKey", L"x"), rc::RegistryKeyNotFound);
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE\\QorNoSuch\\Deeper", L"x"), rc::RegistryKeyNotFound);
    EXPECT_EQ(code(ClassesRoot, L"QorNoSuchClass", L"x"), rc::RegistryKeyNotFound);
    EXPECT_EQ(code(LocalMachine, tooLong, L"x"), rc::BadLength);
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE", tooLong), rc::BadLength);
    // An invalid parameter.
    EXPECT_EQ(code(static_cast<RegistryRoot>(0x80000010), L"SOFTWARE", L"x"), rc::ArgumentMissing);
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE", L"x", static_cast<RegistryView>(3)), rc::ArgumentMissing);
    EXPECT_EQ(code(PerformanceData, L"", L"Global"), rc::NotSupported);
}

TEST(RegistryKeys, ClassesOfTheUserWinOverTheMachine) {
    ScratchKey machineBoth(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", L"QorRegistryTest.Both");
    ScratchKey userBoth(HKEY_CURRENT_USER, L"Software\\Classes", L"QorRegistryTest.Both");
    ScratchKey machineOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", L"QorRegistryTest.Machine");
    machineBoth.SetText(L"Owner", L"machine");
    userBoth.SetText(L"Owner", L"user");
    machineOnly.SetText(L"Owner", L"machine");
    EXPECT_EQ(ReadText(RegistryRoot::ClassesRoot, L"QorRegistryTest.Both", L"Owner").text, L"user");
    EXPECT_EQ(ReadText(RegistryRoot::ClassesRoot, L"QorRegistryTest.Machine", L"Owner").text,
              L"machine");
}

TEST(RegistryKeys, ReadsNeedAnOpenKey) {
    ScratchKey scratch(HKEY_CURRENT_USER, L"Software", kTestKey);
    scratch.SetText(L"Text", L"first");
    RegistryKey key;
    std::wstring text = L"untouched";
    EXPECT_EQ(key.ReadString(L"Text", text), SuiteError(0x3F));  // invalid handle
    key.SetRoot(RegistryRoot::CurrentUser);
    ASSERT_EQ(key.OpenForReading(kTestPath), rc::Ok);
    ASSERT_EQ(key.ReadString(L"Text", text), rc::Ok);
    EXPECT_EQ(text, L"first");

    EXPECT_EQ(key.OpenForReading(L"Software\\QorNoSuchKey"), rc::RegistryKeyNotFound);
    EXPECT_TRUE(key.IsOpen());  // a failed open keeps the key it had
    key.Close();
    EXPECT_FALSE(key.IsOpen());
    std::uint32_t number = 7;
    EXPECT_EQ(key.ReadDword(L"Text", number), SuiteError(0x3F));
    EXPECT_EQ(number, 7u);
}

TEST(RegistryRoots, ConcurrentFirstUsesShareOneHandle) {
    std::atomic<bool> go{false};
    std::vector<HANDLE> handles(8, nullptr);
    std::vector<ResultCode> codes(8, -1);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            codes[i] = GetRegistryRootHandle(RegistryRoot::Users, handles[i]);
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 0; i < handles.size(); ++i) {
        EXPECT_EQ(codes[i], rc::Ok);
        EXPECT_NE(handles[i], nullptr);
        EXPECT_EQ(handles[i], handles[0]);
    }
    HANDLE again = nullptr;
    ASSERT_EQ(GetRegistryRootHandle(RegistryRoot::Users, again), rc::Ok);
    EXPECT_EQ(again, handles[0]);
}

TEST(RegistrySubKeys, ListedByNameWhateverTheirLength) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    const std::wstring longName(200, L'k');  // beyond the first buffer
    ScratchKey shortChild(HKEY_CURRENT_USER, kTestPath, L"S-1-5-18");
    ScratchKey longChild(HKEY_CURRENT_USER, kTestPath, longName.c_str());
    std::vector<std::wstring> names{L"stale"};
    const auto list = [&names](const std::wstring& path) {
        return WinRegistryReader().ListSubKeys(RegistryRoot::CurrentUser, path,
                                               RegistryView::Default, names);
    };
    ASSERT_EQ(list(kTestPath), rc::Ok);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"S-1-5-18", longName}));

    ScratchKey leaf(HKEY_CURRENT_USER, kTestPath, L"Leaf");
    ASSERT_EQ(list(std::wstring(kTestPath) + L"\\Leaf"), rc::Ok);
    EXPECT_TRUE(names.empty());
    names = {L"kept"};
    EXPECT_EQ(list(L"Software\\QorNoSuchKey"), rc::RegistryKeyNotFound);
    EXPECT_EQ(names, std::vector<std::wstring>{L"kept"});
}

}  // namespace
}  // namespace qor
