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
class ScratchKey {
public:
    ScratchKey(HKEY root, const wchar_t* parent, const wchar_t* name, REGSAM view = 0)
        : name_(name) {
        const REGSAM access = KEY_ALL_ACCESS | view;
        EXPECT_EQ(RegCreateKeyExW(root, parent, 0, nullptr, 0, access, nullptr, &parent_, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegCreateKeyExW(parent_, name, 0, nullptr, 0, access, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    ~ScratchKey() {
        RegCloseKey(key_);
        EXPECT_EQ(RegDeleteKeyW(parent_, name_.c_str()), ERROR_SUCCESS);
        RegCloseKey(parent_);
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    void Set(const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(bytes)),
                  ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
        Set(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    void SetDword(const wchar_t* name, DWORD value, DWORD type = REG_DWORD) {
        Set(name, type, &value, sizeof value);
    }

private:
    std::wstring name_;
    HKEY parent_ = nullptr;
    HKEY key_ = nullptr;
};

struct Read {
    ResultCode code;
    std::wstring text;
};

Read ReadText(RegistryRoot root, const std::wstring& path, const std::wstring& value,
              RegistryView view = RegistryView::Default) {
    WinRegistryReader reader;
    Read read{0, L"untouched"};
    read.code = reader.ReadString(root, path, value, view, read.text);
    return read;
}

ResultCode ReadNumber(const std::wstring& value, std::uint32_t& out) {
    WinRegistryReader reader;
    return reader.ReadDword(RegistryRoot::CurrentUser, kTestPath, value, RegistryView::Default,
                            out);
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
                       L"Where").text,
              L"wow32");

    const bool own64 = sizeof(void*) == 8;  // the process's own view
    const std::pair<RegistryView, bool> expected[] = {
        {RegistryView::Default, own64},
        {RegistryView::Wow32, false},
        {RegistryView::Wow64, true},
        {RegistryView::Native, true},
    };
    WinRegistryReader reader;
    for (const auto& [view, native] : expected) {
        const Read read = ReadText(RegistryRoot::LocalMachine, kTestPath, L"Where", view);
        EXPECT_EQ(read.code, rc::Ok);
        EXPECT_EQ(read.text, native ? L"native" : L"wow32") << static_cast<int>(view);
        std::uint32_t bits = 0;
        EXPECT_EQ(reader.ReadDword(RegistryRoot::LocalMachine, kTestPath, L"Bits", view, bits),
                  rc::Ok);
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
    EXPECT_EQ(ReadNumber(L"Short", out), rc::BadLength);
    EXPECT_EQ(ReadNumber(L"Long", out), rc::BadLength);
    EXPECT_EQ(ReadNumber(L"Text", out), rc::RegistryWrongType);
    EXPECT_EQ(ReadNumber(L"Blob", out), rc::RegistryWrongType);
    EXPECT_EQ(ReadNumber(L"Missing", out), rc::FileNotFound);
    EXPECT_EQ(out, 0xCAFEu);
}

TEST(RegistryValues, StringsAreReadUpToTheirTerminator) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    key.SetText(L"Text", L"hello");
    key.SetText(L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    key.Set(L"Unterminated", REG_SZ, L"abc", 7);  // three characters and a stray byte
    key.Set(L"Empty", REG_SZ, L"", 0);
    key.Set(L"Blob", REG_BINARY, "\x61\x00", 2);
    std::wstring huge(512 * 1024, L'h');  // 1 MiB of text, no terminator
    huge[huge.size() - 1] = L'z';
    key.Set(L"Huge", REG_SZ, huge.data(), huge.size() * sizeof(wchar_t));

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

    const Read blob = read(L"Blob");
    EXPECT_EQ(blob.code, rc::RegistryWrongType);
    EXPECT_EQ(blob.text, L"untouched");
    EXPECT_EQ(read(L"Missing").code, rc::FileNotFound);
}

TEST(RegistryValues, ValuesBeyondTheLimitAreRefusedUnread) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    const std::vector<std::uint8_t> tooLarge((8 << 20) + 2, 0x41);  // just over 8 MiB
    key.Set(L"Text", REG_SZ, tooLarge.data(), tooLarge.size());
    key.Set(L"Blob", REG_BINARY, tooLarge.data(), tooLarge.size());

    const Read text = ReadText(RegistryRoot::CurrentUser, kTestPath, L"Text");
    EXPECT_EQ(text.code, rc::BadLength);
    EXPECT_EQ(text.text, L"untouched");
    EXPECT_EQ(ReadText(RegistryRoot::CurrentUser, kTestPath, L"Blob").code,
              rc::RegistryWrongType);
}

TEST(RegistryKeys, MissingKeysAndBadArgumentsGiveCodes) {
    EXPECT_EQ(ReadText(RegistryRoot::LocalMachine, L"SOFTWARE\\QorNoSuchKey", L"x").code,
              rc::RegistryKeyNotFound);
    EXPECT_EQ(ReadText(RegistryRoot::LocalMachine, L"SOFTWARE\\QorNoSuch\\Deeper", L"x").code,
              rc::RegistryKeyNotFound);
    EXPECT_EQ(ReadText(RegistryRoot::ClassesRoot, L"QorNoSuchClass", L"x").code,
              rc::RegistryKeyNotFound);

    const std::wstring tooLong(40000, L'k');
    EXPECT_EQ(ReadText(RegistryRoot::LocalMachine, tooLong, L"x").code, rc::BadLength);
    EXPECT_EQ(ReadText(RegistryRoot::LocalMachine, L"SOFTWARE", tooLong).code, rc::BadLength);
    const Read badRoot = ReadText(static_cast<RegistryRoot>(0x80000010), L"SOFTWARE", L"x");
    EXPECT_EQ(badRoot.code, rc::ArgumentMissing);  // invalid parameter
    EXPECT_EQ(badRoot.text, L"untouched");
    EXPECT_EQ(ReadText(RegistryRoot::LocalMachine, L"SOFTWARE", L"x",
                       static_cast<RegistryView>(3)).code,
              rc::ArgumentMissing);
    EXPECT_EQ(ReadText(RegistryRoot::PerformanceData, L"", L"Global").code, rc::NotSupported);
}

TEST(RegistryKeys, ClassesOfTheUserWinOverTheMachine) {
    ScratchKey machineBoth(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", L"QorRegistryTest.Both");
    ScratchKey userBoth(HKEY_CURRENT_USER, L"Software\\Classes", L"QorRegistryTest.Both");
    ScratchKey machineOnly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", L"QorRegistryTest.Machine");
    machineBoth.SetText(L"Owner", L"machine");
    userBoth.SetText(L"Owner", L"user");
    machineOnly.SetText(L"Owner", L"machine");

    EXPECT_EQ(ReadText(RegistryRoot::ClassesRoot, L"QorRegistryTest.Both", L"Owner").text,
              L"user");
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
    WinRegistryReader reader;
    std::vector<std::wstring> names{L"stale"};
    ASSERT_EQ(reader.ListSubKeys(RegistryRoot::CurrentUser, kTestPath, RegistryView::Default,
                                 names),
              rc::Ok);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"S-1-5-18", longName}));

    ScratchKey leaf(HKEY_CURRENT_USER, L"Software\\QorRegistryLayerTest", L"Leaf");
    ASSERT_EQ(reader.ListSubKeys(RegistryRoot::CurrentUser, std::wstring(kTestPath) + L"\\Leaf",
                                 RegistryView::Default, names),
              rc::Ok);
    EXPECT_TRUE(names.empty());
    names = {L"kept"};
    EXPECT_EQ(reader.ListSubKeys(RegistryRoot::CurrentUser, L"Software\\QorNoSuchKey",
                                 RegistryView::Default, names),
              rc::RegistryKeyNotFound);
    EXPECT_EQ(names, std::vector<std::wstring>{L"kept"});
}

}  // namespace
}  // namespace qor
