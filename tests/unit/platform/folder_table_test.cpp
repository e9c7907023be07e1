#include "platform/folder_table.h"

#include <gtest/gtest.h>

#include <map>

#include "fakes/fake_registry.h"

namespace qor {
namespace {

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

std::wstring Folder(SpecialFolderTable& table, std::uint32_t id) {
    std::wstring path = L"<untouched>";
    const ResultCode code = table.Get(id, path);
    return code == rc::Ok ? path : L"error " + std::to_wstring(static_cast<unsigned>(code));
}

const std::wstring kNotFound = L"error " + std::to_wstring(0xE001003Eu);

TEST(SpecialFolders, ThirtyTwoBitSystem) {
    FakeSources sources;
    sources.registry.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"D:\\Programs\\");
    sources.environment[L"CommonProgramFiles"] = L"C:\\Common";
    sources.registry.Set(RegistryRoot::LocalMachine, L"SYSTEM\\Setup", L"SystemPartition", L"\\Device\\HarddiskVolume1");
    SpecialFolderTable table;
    table.Init(sources);

    EXPECT_EQ(Folder(table, folder::Profile), L"C:\\Users\\env");
    EXPECT_EQ(Folder(table, folder::LoadedSystemLibrary), L"C:\\Windows\\System32");
    EXPECT_EQ(Folder(table, folder::Windows), L"C:\\Windows");
    EXPECT_EQ(Folder(table, folder::System32Bit), L"C:\\Windows\\System32");
    EXPECT_EQ(Folder(table, folder::NativeSystem), L"C:\\Windows\\System32");
    EXPECT_EQ(Folder(table, folder::ProgramFiles), L"D:\\Programs");  // trailing separator dropped
    EXPECT_EQ(Folder(table, folder::ProgramFiles32), L"D:\\Programs");
    EXPECT_EQ(Folder(table, folder::ProgramFilesNative), kNotFound);
    EXPECT_EQ(Folder(table, folder::CommonFiles), L"C:\\Common");      // environment fallback
    EXPECT_EQ(Folder(table, folder::CommonFiles32), L"C:\\Common");
    EXPECT_EQ(Folder(table, folder::CommonFilesNative), kNotFound);
    EXPECT_EQ(Folder(table, folder::SystemDrive), L"C:");
    EXPECT_EQ(Folder(table, folder::SystemPartition), L"C:");
    EXPECT_EQ(Folder(table, 17), kNotFound);
    EXPECT_EQ(Folder(table, 22), L"error " + std::to_wstring(0xE0010002u));
}

TEST(SpecialFolders, SixtyFourBitSystemReadsTheNativeViewForWideValues) {
    FakeSources sources;
    sources.system64 = true;
    sources.library = L"C:\\Windows\\SysWOW64\\kernel32.dll";
    auto& reg = sources.registry;
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"C:\\PF32view");
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir", L"C:\\PF", RegistryView::Wow64);
    reg.Set(RegistryRoot::LocalMachine, kSystemValues, L"ProgramFilesDir (x86)", L"C:\\PF86", RegistryView::Wow64);
    sources.environment[L"CommonProgramFiles(x86)"] = L"C:\\CF86";
    sources.environment[L"CommonProgramW6432"] = L"C:\\CF";
    SpecialFolderTable table;
    table.Init(sources);

    EXPECT_EQ(Folder(table, folder::System32Bit), L"C:\\Windows\\SysWOW64");
    EXPECT_EQ(Folder(table, folder::NativeSystem), L"C:\\Windows\\System32");
    EXPECT_EQ(Folder(table, folder::ProgramFiles), L"C:\\PF32view");
    EXPECT_EQ(Folder(table, folder::ProgramFiles32), L"C:\\PF86");
    EXPECT_EQ(Folder(table, folder::ProgramFilesNative), L"C:\\PF");
    EXPECT_EQ(Folder(table, folder::CommonFiles32), L"C:\\CF86");
    EXPECT_EQ(Folder(table, folder::CommonFilesNative), L"C:\\CF");
    EXPECT_EQ(Folder(table, folder::SystemPartition), kNotFound);
}

TEST(SpecialFolders, LibraryPathWithoutSeparatorLeavesSystemFoldersEmpty) {
    FakeSources sources;
    sources.library = L"kernel32.dll";
    SpecialFolderTable table;
    table.Init(sources);
    for (std::uint32_t id : {3u, 4u, 5u, 6u, 18u}) EXPECT_EQ(Folder(table, id), kNotFound) << id;
}

TEST(SpecialFolders, ShellFoldersUserHiveFirstWithProfileReplacement) {
    FakeSources sources;
    sources.sid = L"S-1-5-21-1";
    auto& reg = sources.registry;
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
    SpecialFolderTable table;
    table.Init(sources);

    EXPECT_EQ(Folder(table, folder::LocalAppData), L"E:\\Users\\tech\\Local");
    EXPECT_EQ(Folder(table, folder::Personal), L"C:\\Docs");
    EXPECT_EQ(Folder(table, folder::Desktop), L"C:\\MachineDesktop");
    EXPECT_EQ(Folder(table, folder::CommonAppData), L"C:\\ProgramData");
    EXPECT_EQ(Folder(table, folder::AppData), L"C:\\env\\roaming");  // value missing: environment
    EXPECT_EQ(Folder(table, folder::Startup), kNotFound);
}

TEST(SpecialFolders, ProfileReferenceWithoutAKnownProfileIsNotFound) {
    FakeSources sources;
    sources.environment.clear();  // no profile list entry, no USERPROFILE
    sources.registry.Set(RegistryRoot::CurrentUser, kUserShell, L"Personal", L"%USERPROFILE%\\Docs");
    SpecialFolderTable table;
    table.Init(sources);
    EXPECT_EQ(Folder(table, folder::Personal), kNotFound);  // never "\Docs"
}

TEST(SpecialFolders, ShellFoldersAreRetriedWhileEmpty) {
    FakeSources sources;
    SpecialFolderTable table;
    table.Init(sources);
    EXPECT_EQ(Folder(table, folder::Startup), kNotFound);
    sources.registry.Set(RegistryRoot::CurrentUser, kShell, L"Startup", L"C:\\Start");
    EXPECT_EQ(Folder(table, folder::Startup), L"C:\\Start");
    sources.library = L"C:\\Other\\System32\\kernel32.dll";  // start-up entries are not refilled
    EXPECT_EQ(Folder(table, folder::Windows), L"C:\\Windows");
}

TEST(SpecialFolders, PathsOf259CharactersOrMoreAreNotKept) {
    FakeSources sources;
    sources.environment[L"USERPROFILE"] = L"C:\\" + std::wstring(256, L'p');  // 259
    sources.environment[L"LOCALAPPDATA"] = L"C:\\" + std::wstring(255, L'l');  // 258
    SpecialFolderTable table;
    table.Init(sources);
    EXPECT_EQ(Folder(table, folder::Profile), kNotFound);
    EXPECT_EQ(Folder(table, folder::LocalAppData).size(), 258u);
}

}  // namespace
}  // namespace qor
