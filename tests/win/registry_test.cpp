// The native registry layer against values written with the Win32 registry calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win/registry_key_win.h"

namespace qor {
namespace {

constexpr wchar_t kTestKey[] = L"QorRegistryLayerTest";
constexpr wchar_t kTestPath[] = L"SOFTWARE\\QorRegistryLayerTest";

// A key created with the Win32 calls; deleted with its values at the end.
struct ScratchKey {
    ScratchKey(HKEY root, const wchar_t* parent, const wchar_t* keyName) : name(keyName) {
        EXPECT_EQ(RegCreateKeyExW(root, parent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &above, nullptr), 0);
        EXPECT_EQ(RegCreateKeyExW(above, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
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
    void SetText(const wchar_t* value, const std::wstring& text) {
        Set(value, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
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

// The views are read end to end: the suite's 32-bit keys and the 64-bit machine values
// (test_installation.py).
// The decoding is checked in the unit tier (DecodeRegistry*); here the native reads: empty
// values, values beyond the first buffer or the bytes read, the 8 MiB limit, missing values.
TEST(RegistryValues, ReadsGrowTheirBufferUpToTheLimit) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    const DWORD little = 0x11223344;
    key.Set(L"Little", REG_DWORD, &little, sizeof little);
    key.Set(L"Long", REG_DWORD, "\x01\x02\x03\x04\x05\x06\x07\x08", 8);  // read four bytes at most
    key.Set(L"Empty", REG_SZ, L"", 0);
    std::wstring huge(512 * 1024, L'h');  // 1 MiB of text, no terminator
    huge.back() = L'z';
    key.Set(L"Huge", REG_SZ, huge.data(), huge.size() * sizeof(wchar_t));
    const std::vector<std::uint8_t> tooLarge((8 << 20) + 2, 0x41);  // just over 8 MiB
    key.Set(L"TooLarge", REG_SZ, tooLarge.data(), tooLarge.size());
    key.Set(L"TooLargeBlob", REG_BINARY, tooLarge.data(), tooLarge.size());
    key.Set(L"Blob", REG_BINARY, tooLarge.data(), 1 << 20);

    std::uint32_t out = 0;
    ASSERT_EQ(ReadNumber(L"Little", out), rc::Ok);
    EXPECT_EQ(out, 0x11223344u);
    out = 0xCAFE;
    for (const auto& [value, code] : {std::pair{L"Long", rc::BadLength}, {L"Blob", rc::RegistryWrongType},
                                      {L"Missing", rc::FileNotFound}}) {
        EXPECT_EQ(ReadNumber(value, out), code) << value;
    }
    EXPECT_EQ(out, 0xCAFEu);

    const auto read = [](const wchar_t* value) {
        return ReadText(RegistryRoot::CurrentUser, kTestPath, value);
    };
    EXPECT_EQ(read(L"Empty").text, L"");
    const Read big = read(L"Huge");
    ASSERT_EQ(big.code, rc::Ok);
    EXPECT_TRUE(big.text == huge);
    for (const auto& [value, code] : {std::pair{L"TooLarge", rc::BadLength},
                                      {L"TooLargeBlob", rc::RegistryWrongType},
                                      {L"Missing", rc::FileNotFound}}) {
        const Read refused = read(value);
        EXPECT_EQ(refused.code, code) << value;
        EXPECT_EQ(refused.text, L"untouched") << value;
    }
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
    EXPECT_EQ(code(ClassesRoot, L"QorNoSuchClass", L"x"), rc::RegistryKeyNotFound);
    EXPECT_EQ(code(LocalMachine, tooLong, L"x"), rc::BadLength);
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE", tooLong), rc::BadLength);
    // An invalid parameter.
    EXPECT_EQ(code(static_cast<RegistryRoot>(0x80000010), L"SOFTWARE", L"x"), rc::ArgumentMissing);
    EXPECT_EQ(code(LocalMachine, L"SOFTWARE", L"x", static_cast<RegistryView>(3)), rc::ArgumentMissing);
    EXPECT_EQ(code(PerformanceData, L"", L"Global"), rc::NotSupported);
}

// Values that do not read as strings (a number, one too long, none) are passed over.
TEST(RegistryValues, FirstStringPassesOverValuesThatAreNoStrings) {
    ScratchKey key(HKEY_CURRENT_USER, L"Software", kTestKey);
    const DWORD number = 7;
    key.Set(L"Number", REG_DWORD, &number, sizeof number);
    const std::vector<std::uint8_t> tooLarge((8 << 20) + 2, 0x41);
    key.Set(L"TooLarge", REG_SZ, tooLarge.data(), tooLarge.size());
    key.SetText(L"Text", L"name");
    const auto first = [](std::initializer_list<const wchar_t*> names, std::optional<std::wstring>& out,
                          const wchar_t* path = kTestPath) {
        return WinRegistryReader().ReadFirstString(RegistryRoot::CurrentUser, path,
                                                   std::span(names.begin(), names.size()),
                                                   RegistryView::Default, out);
    };
    std::optional<std::wstring> out;
    ASSERT_EQ(first({L"Number", L"TooLarge", L"Missing", L"Text"}, out), rc::Ok);
    EXPECT_EQ(out, L"name");
    ASSERT_EQ(first({L"Number", L"Missing"}, out), rc::Ok);
    EXPECT_FALSE(out.has_value());
    out = L"untouched";
    EXPECT_EQ(first({L"Text"}, out, L"Software\\QorNoSuchKey"), rc::RegistryKeyNotFound);
    EXPECT_EQ(out, L"untouched");
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
