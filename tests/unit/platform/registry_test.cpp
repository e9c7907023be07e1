#include "platform/registry.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "fakes/fake_registry.h"
#include "platform/folder_table.h"

namespace qor {
namespace {

std::vector<std::uint8_t> Utf16Le(std::initializer_list<char16_t> units) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t u : units) bytes.insert(bytes.end(), {std::uint8_t(u & 0xFF), std::uint8_t(u >> 8)});
    return bytes;
}

std::wstring Decoded(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    std::wstring out = L"untouched";
    EXPECT_EQ(DecodeRegistryString(type, data, out), rc::Ok);
    return out;
}

TEST(DecodeRegistryString, StopsAtTheTerminatorOrTheEndKeepsSurrogatePairsAndRefusesOtherTypes) {
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({u'a', u'b', 0, u'c', 0})), L"ab");
    EXPECT_EQ(Decoded(reg_type::ExpandString, Utf16Le({u'%', u'X', u'%', 0})), L"%X%");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({u'a', u'b', u'c'})), L"abc");  // unterminated
    auto odd = Utf16Le({u'a', u'b'});
    odd.push_back(0x63);  // a stray last byte
    EXPECT_EQ(Decoded(reg_type::String, odd), L"ab");
    EXPECT_EQ(Decoded(reg_type::String, {}), L"");
    EXPECT_EQ(Decoded(reg_type::String, {0x41}), L"");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({0x00E9, 0x20AC, 0})), L"\u00E9\u20AC");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({0xD83D, 0xDE00, u'x', 0})), L"\U0001F600x");
    const std::wstring lone = Decoded(reg_type::String, Utf16Le({0xD83D, u'x'}));
    ASSERT_EQ(lone.size(), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(lone[0]), 0xD83Du);

    const auto text = Utf16Le({u'a', 0});
    for (const std::uint32_t type : {0u, reg_type::Binary, reg_type::Dword, 7u, 0x12345678u}) {
        std::wstring out = L"untouched";
        EXPECT_EQ(DecodeRegistryString(type, text, out), rc::RegistryWrongType) << type;
        EXPECT_EQ(out, L"untouched");
    }
}

// Both byte orders; a wrong type or length leaves the output alone.
TEST(DecodeRegistryDword, ChecksTypeBeforeLengthAndLeavesTheOutputAlone) {
    const std::vector<std::uint8_t> four{0x12, 0x34, 0x56, 0x78};
    std::uint32_t out = 0;
    ASSERT_EQ(DecodeRegistryDword(reg_type::Dword, four, out), rc::Ok);
    EXPECT_EQ(out, 0x78563412u);
    ASSERT_EQ(DecodeRegistryDword(reg_type::DwordBigEndian, four, out), rc::Ok);
    EXPECT_EQ(out, 0x12345678u);
    out = 0xCAFEu;
    EXPECT_EQ(DecodeRegistryDword(reg_type::String, four, out), rc::RegistryWrongType);
    EXPECT_EQ(DecodeRegistryDword(reg_type::Binary, {}, out), rc::RegistryWrongType);
    EXPECT_EQ(DecodeRegistryDword(11, std::vector<std::uint8_t>(8), out), rc::RegistryWrongType);
    for (const std::size_t size : {0u, 3u, 5u, 8u}) {
        const std::vector<std::uint8_t> data(size, 0xFF);
        EXPECT_EQ(DecodeRegistryDword(reg_type::Dword, data, out), rc::BadLength) << size;
        EXPECT_EQ(DecodeRegistryDword(reg_type::DwordBigEndian, data, out), rc::BadLength);
    }
    EXPECT_EQ(out, 0xCAFEu);
}

TEST(KeyOpenResult, TurnsMissingKeysIntoOneCode) {
    EXPECT_EQ(KeyOpenResult(rc::FileNotFound), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(rc::PathNotFound), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(static_cast<ResultCode>(0xC00700A1u)), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(SuiteError(0x58)), SuiteError(0x58));  // access denied stays
    EXPECT_EQ(KeyOpenResult(rc::Ok), rc::Ok);
}

TEST(Wow32MachinePath, MovesSoftwareKeysUnderWow6432Node) {
    EXPECT_EQ(Wow32MachinePath(L"SOFTWARE\\Qor\\Fw"), L"SOFTWARE\\Wow6432Node\\Qor\\Fw");
    EXPECT_EQ(Wow32MachinePath(L"Software"), L"Software\\Wow6432Node");
    for (const wchar_t* same : {L"SOFTWARE\\wow6432node\\Qor", L"software\\Classes\\.txt",
                                L"SYSTEM\\CurrentControlSet", L"SOFTWAREX\\Qor", L""}) {
        EXPECT_EQ(Wow32MachinePath(same), same);
    }
}

const std::wstring kSystemValues = L"SYSTEM\\CurrentControlSet\\Services\\Qor\\SystemValues";
const std::wstring kUserShell = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::wstring kShell = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::wstring kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

class FakeSources final : public FolderSources {
public:
    RegistryReader& Registry() override { return registry; }
    bool Is64BitSystem() override { return system64; }
    ResultCode ReadEnvironmentPath(const std::wstring& name, std::wstring& out) override {
        const auto found = environment.find(name);
        if (found == environment.end()) return rc::EnvironmentVariableNotSet;
        out = found->second;
        return rc::Ok;
    }
    // Expands %NAME% references from `environment`.
    std::wstring ExpandEnvironment(const std::wstring& text) override {
        std::wstring out = text;
        for (const auto& [name, value] : environment) {
            const std::wstring ref = L"%" + name + L"%";
            for (std::size_t at; (at = out.find(ref)) != std::wstring::npos;) out.replace(at, ref.size(), value);
        }
        return out;
    }
    std::wstring LoadedSystemLibraryPath() override { return library; }
    std::wstring CurrentUserSid() override { return sid; }
    std::wstring DeviceToDrive(const std::wstring& device) override {
        return device == L"\\Device\\HarddiskVolume1" ? L"C:" : L"";
    }

    test::FakeRegistry registry;
    bool system64 = false;
    std::map<std::wstring, std::wstring> environment{{L"USERPROFILE", L"C:\\Users\\env"}};
    std::wstring library = L"C:\\Windows\\System32\\kernel32.dll";
    std::wstring sid;
};

class SpecialFolders : public ::testing::Test {
protected:
    std::wstring Folder(std::uint32_t id) {
        std::wstring path = L"<untouched>";
        const ResultCode code = table.Get(id, path);
        return code == rc::Ok ? path : L"error " + std::to_wstring(static_cast<unsigned>(code));
    }
    FakeSources sources;
    test::FakeRegistry& reg = sources.registry;
    SpecialFolderTable table;
};

const std::wstring kNotFound = L"error " + std::to_wstring(0xE001003Eu);

// The folders of the system itself are checked end to end (test_installation.py).
TEST_F(SpecialFolders, ThirtyTwoBitSystem) {
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"D:\\Programs\\");
    sources.environment[L"CommonProgramFiles"] = L"C:\\Common";
    reg.Set(RegistryRoot::LocalMachine, L"SYSTEM\\Setup", L"SystemPartition", L"\\Device\\HarddiskVolume1");
    table.Init(sources);

    EXPECT_EQ(Folder(folder::ProgramFiles), L"D:\\Programs");  // trailing separator dropped
    EXPECT_EQ(Folder(folder::CommonFiles), L"C:\\Common");      // environment fallback
    EXPECT_EQ(Folder(folder::SystemPartition), L"C:");
}

TEST_F(SpecialFolders, SixtyFourBitSystemReadsTheNativeViewForWideValues) {
    sources.system64 = true;
    sources.library = L"C:\\Windows\\SysWOW64\\kernel32.dll";
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"C:\\PF32view");
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"C:\\PF", RegistryView::Wow64);
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir (x86)", L"C:\\PF86", RegistryView::Wow64);
    sources.environment[L"CommonProgramFiles(x86)"] = L"C:\\CF86";
    sources.environment[L"CommonProgramW6432"] = L"C:\\CF";
    table.Init(sources);

    EXPECT_EQ(Folder(folder::System32Bit), L"C:\\Windows\\SysWOW64");
    EXPECT_EQ(Folder(folder::NativeSystem), L"C:\\Windows\\System32");
    EXPECT_EQ(Folder(folder::ProgramFiles), L"C:\\PF32view");
    EXPECT_EQ(Folder(folder::ProgramFiles32), L"C:\\PF86");
    EXPECT_EQ(Folder(folder::ProgramFilesNative), L"C:\\PF");
    EXPECT_EQ(Folder(folder::CommonFiles32), L"C:\\CF86");
    EXPECT_EQ(Folder(folder::CommonFilesNative), L"C:\\CF");
    EXPECT_EQ(Folder(folder::SystemPartition), kNotFound);
}

TEST_F(SpecialFolders, LibraryPathWithoutSeparatorLeavesSystemFoldersEmpty) {
    sources.library = L"kernel32.dll";
    table.Init(sources);
    for (std::uint32_t id : {3u, 4u, 5u, 6u, 18u}) EXPECT_EQ(Folder(id), kNotFound) << id;
}

TEST_F(SpecialFolders, ShellFoldersUserHiveFirstWithProfileReplacement) {
    sources.sid = L"S-1-5-21-1";
    reg.Set(RegistryRoot::LocalMachine, kProfileList + L"\\S-1-5-21-1", L"ProfileImagePath", L"%SystemDrive%\\Users\\tech");
    sources.environment[L"SystemDrive"] = L"E:";
    sources.environment[L"APPDATA"] = L"C:\\env\\roaming";
    reg.Set(RegistryRoot::CurrentUser, kUserShell, L"Local AppData", L"%userprofile%\\Local");
    reg.Set(RegistryRoot::CurrentUser, kShell, L"Local AppData", L"C:\\shell\\local");
    reg.Set(RegistryRoot::CurrentUser, kShell, L"Personal", L"C:\\Docs");
    reg.Set(RegistryRoot::CurrentUser, kUserShell, L"Desktop", L"");  // empty: not found
    reg.Set(RegistryRoot::LocalMachine, kShell, L"Desktop", L"C:\\MachineDesktop");
    reg.Set(RegistryRoot::LocalMachine, kUserShell, L"Common AppData", L"%ALLUSERSPROFILE%");
    sources.environment[L"ALLUSERSPROFILE"] = L"C:\\ProgramData";
    // A machine-wide folder never comes from the user's hive.
    reg.Set(RegistryRoot::CurrentUser, kUserShell, L"Common AppData", L"C:\\Users\\tech\\mine");
    reg.Set(RegistryRoot::CurrentUser, kShell, L"Common Startup", L"C:\\Users\\tech\\start");
    table.Init(sources);
    EXPECT_EQ(Folder(folder::CommonStartup), kNotFound);

    EXPECT_EQ(Folder(folder::LocalAppData), L"E:\\Users\\tech\\Local");
    EXPECT_EQ(Folder(folder::Personal), L"C:\\Docs");
    EXPECT_EQ(Folder(folder::Desktop), L"C:\\MachineDesktop");
    EXPECT_EQ(Folder(folder::CommonAppData), L"C:\\ProgramData");
    EXPECT_EQ(Folder(folder::AppData), L"C:\\env\\roaming");  // value missing: environment
    EXPECT_EQ(Folder(folder::Startup), kNotFound);
}

TEST_F(SpecialFolders, ProfileReferenceWithoutAKnownProfileIsNotFound) {
    sources.environment.clear();  // no profile list entry, no USERPROFILE
    reg.Set(RegistryRoot::CurrentUser, kUserShell, L"Personal", L"%USERPROFILE%\\Docs");
    table.Init(sources);
    EXPECT_EQ(Folder(folder::Personal), kNotFound);  // never "\Docs"
}

TEST_F(SpecialFolders, ShellFoldersAreRetriedWhileEmpty) {
    table.Init(sources);
    EXPECT_EQ(Folder(folder::Startup), kNotFound);
    reg.Set(RegistryRoot::CurrentUser, kShell, L"Startup", L"C:\\Start");
    EXPECT_EQ(Folder(folder::Startup), L"C:\\Start");
    sources.library = L"C:\\Other\\System32\\kernel32.dll";  // start-up entries are not refilled
    EXPECT_EQ(Folder(folder::Windows), L"C:\\Windows");
}

TEST_F(SpecialFolders, PathsOf259CharactersOrMoreAreNotKept) {
    sources.environment[L"USERPROFILE"] = L"C:\\" + std::wstring(256, L'p');  // 259
    sources.environment[L"LOCALAPPDATA"] = L"C:\\" + std::wstring(255, L'l');  // 258
    table.Init(sources);
    EXPECT_EQ(Folder(folder::Profile), kNotFound);
    EXPECT_EQ(Folder(folder::LocalAppData).size(), 258u);
}

}  // namespace
}  // namespace qor
