#include "platform/folder_table.h"

#include "platform/shell_folder_keys.h"

#include <algorithm>
#include <string_view>
#include <thread>

namespace qor {
namespace {

constexpr const wchar_t* kMachineValuesKey = L"SYSTEM\\CurrentControlSet\\Services\\Qor\\SystemValues";
struct ShellFolder {
    std::uint32_t id;
    const wchar_t* value;
    const wchar_t* variable;  // fallback, may be null
    bool machineWide = false;  // read from the machine's hive alone: the user's may not steer it
};

// In the order they are filled.
constexpr ShellFolder kShellFolderOrder[] = {
    {folder::CommonStartup, L"Common Startup", nullptr, true},
    {folder::Startup, L"Startup", nullptr},
    {folder::CommonDocuments, L"Common Documents", nullptr, true},
    {folder::Personal, L"Personal", nullptr},
    {folder::Desktop, L"Desktop", nullptr},
    {folder::CommonAppData, L"Common AppData", L"ALLUSERSPROFILE", true},
    {folder::AppData, L"AppData", L"APPDATA"},
    {folder::LocalAppData, L"Local AppData", L"LOCALAPPDATA"},
};

// Machine values of the program and common files folders; a null value means "left empty".
struct MachineFolder {
    std::uint32_t id;
    const wchar_t* value32;
    const wchar_t* variable32;
    const wchar_t* value64;
    const wchar_t* variable64;
    bool nativeViewOn64;
};

constexpr MachineFolder kMachineFolders[] = {
    {folder::ProgramFiles, L"ProgramFilesDir", L"ProgramFiles", L"ProgramFilesDir", L"ProgramFiles", false},
    {folder::ProgramFiles32, L"ProgramFilesDir", L"ProgramFiles", L"ProgramFilesDir (x86)", L"ProgramFiles(x86)", true},
    {folder::ProgramFilesNative, nullptr, nullptr, L"ProgramFilesDir", L"ProgramW6432", true},
    {folder::CommonFiles, L"CommonFilesDir", L"CommonProgramFiles", L"CommonFilesDir", L"CommonProgramFiles", false},
    {folder::CommonFiles32, L"CommonFilesDir", L"CommonProgramFiles", L"CommonFilesDir (x86)", L"CommonProgramFiles(x86)", true},
    {folder::CommonFilesNative, nullptr, nullptr, L"CommonFilesDir", L"CommonProgramW6432", true},
};

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsShellFolder(std::uint32_t id) {
    return std::any_of(std::begin(kShellFolderOrder), std::end(kShellFolderOrder),
                       [id](const ShellFolder& f) { return f.id == id; });
}

// The path up to its last separator; empty when it has none.
std::wstring ParentFolder(const std::wstring& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), IsSeparator);
    if (last == path.rend()) return {};
    return path.substr(0, static_cast<std::size_t>(path.rend() - last) - 1);
}

// Every occurrence, ignoring case.
void ReplaceProfileVariable(std::wstring& text, const std::wstring& profile) {
    for (std::size_t at = 0; (at = FindProfileVariable(text, at)) != std::wstring::npos;
         at += profile.size()) {
        text.replace(at, kProfileVariable.size(), profile);
    }
}

}  // namespace

class SpecialFolderTable::SpinGuard {
public:
    SpinGuard(std::atomic_flag& flag, bool alreadyHeld) : flag_(alreadyHeld ? nullptr : &flag) {
        if (!flag_) return;
        while (flag_->test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    ~SpinGuard() {
        if (flag_) flag_->clear(std::memory_order_release);
    }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    std::atomic_flag* flag_;
};

void SpecialFolderTable::Init(FolderSources& sources) {
    SpinGuard guard(lock_, false);
    sources_ = &sources;
    for (auto& entry : entries_) entry.clear();
    std::wstring profile;
    if (sources.ReadEnvironmentPath(L"USERPROFILE", profile) == rc::Ok) Store(folder::Profile, profile);
    FillShellFolders(true);
    FillSystemDirectories();
    FillMachineValues();
    FillDrives();
}

ResultCode SpecialFolderTable::Get(std::uint32_t id, std::wstring& out) {
    if (id >= folder::Count) return rc::ArgumentMissing;
    if (!IsShellFolder(id)) {
        if (entries_[id].empty()) return rc::PathNotFound;
        out = entries_[id];
        return rc::Ok;
    }
    SpinGuard guard(lock_, false);
    if (entries_[id].empty()) FillShellFolders(true);
    if (entries_[id].empty()) return rc::PathNotFound;
    out = entries_[id];
    return rc::Ok;
}

void SpecialFolderTable::FillShellFolders(bool lockHeld) {
    SpinGuard guard(lock_, lockHeld);
    if (!sources_) return;
    std::wstring profile;
    bool profileKnown = false;
    for (const ShellFolder& shell : kShellFolderOrder) {
        if (!entries_[shell.id].empty()) continue;
        if (!profileKnown) {
            profile = ProfileDirectory();
            profileKnown = true;
        }
        std::wstring path;
        if (ReadShellFolder(shell.value, path, profile, shell.machineWide) != rc::Ok &&
            shell.variable &&
            sources_->ReadEnvironmentPath(shell.variable, path) != rc::Ok) {
            path.clear();
        }
        Store(shell.id, std::move(path));
    }
}

// Trailing separators are dropped; an empty or over-long path leaves the entry empty.
void SpecialFolderTable::Store(std::uint32_t id, std::wstring path) {
    while (!path.empty() && IsSeparator(path.back())) path.pop_back();
    if (path.empty() || path.size() >= kMaxChars) return;
    entries_[id] = std::move(path);
}

void SpecialFolderTable::FillSystemDirectories() {
    const std::wstring libraryFolder = ParentFolder(sources_->LoadedSystemLibraryPath());
    if (libraryFolder.empty()) return;
    Store(folder::LoadedSystemLibrary, libraryFolder);
    const std::wstring windows = ParentFolder(libraryFolder);
    if (windows.empty()) return;
    Store(folder::Windows, windows);
    Store(folder::System32Bit, windows + (sources_->Is64BitSystem() ? L"\\SysWOW64" : L"\\System32"));
    Store(folder::NativeSystem, windows + L"\\System32");
}

void SpecialFolderTable::FillMachineValues() {
    const bool wide = sources_->Is64BitSystem();
    for (const MachineFolder& machine : kMachineFolders) {
        const wchar_t* value = wide ? machine.value64 : machine.value32;
        if (!value) continue;
        const RegistryView view =
            wide && machine.nativeViewOn64 ? RegistryView::Wow64 : RegistryView::Default;
        FillMachineValue(machine.id, value, wide ? machine.variable64 : machine.variable32, view);
    }
}

void SpecialFolderTable::FillMachineValue(std::uint32_t id, const wchar_t* value,
                                          const wchar_t* variable, RegistryView view) {
    std::wstring path;
    if (sources_->Registry().ReadString(RegistryRoot::LocalMachine, kMachineValuesKey, value,
                                        view, path) != rc::Ok ||
        path.empty()) {
        if (sources_->ReadEnvironmentPath(variable, path) != rc::Ok) path.clear();
    }
    Store(id, std::move(path));
}

void SpecialFolderTable::FillDrives() {
    const std::wstring& library = entries_[folder::LoadedSystemLibrary];
    Store(folder::SystemDrive,
          library.substr(0, static_cast<std::size_t>(
                                std::find_if(library.begin(), library.end(), IsSeparator) -
                                library.begin())));
    std::wstring device;
    if (sources_->Registry().ReadString(RegistryRoot::LocalMachine, L"SYSTEM\\Setup",
                                        L"SystemPartition", RegistryView::Default,
                                        device) == rc::Ok) {
        Store(folder::SystemPartition, sources_->DeviceToDrive(device));
    }
}

// The profile of the current user from the profile list, else the environment.
std::wstring SpecialFolderTable::ProfileDirectory() {
    const std::wstring sid = sources_->CurrentUserSid();
    std::wstring path;
    if (!sid.empty() &&
        sources_->Registry().ReadString(RegistryRoot::LocalMachine, std::wstring(kProfileListKey) + L"\\" + sid,
                                        L"ProfileImagePath", RegistryView::Default, path) == rc::Ok) {
        path = sources_->ExpandEnvironment(path);
        if (!path.empty()) return path;
    }
    if (sources_->ReadEnvironmentPath(L"USERPROFILE", path) != rc::Ok) path.clear();
    return path;
}

// The user's hive first (not for a machine-wide folder), then the machine's; in each "User
// Shell Folders" before "Shell Folders". An empty result counts as not found.
ResultCode SpecialFolderTable::ReadShellFolder(const wchar_t* valueName, std::wstring& out,
                                               const std::wstring& profileDirectory,
                                               bool machineWide) {
    for (const RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
        if (machineWide && root == RegistryRoot::CurrentUser) continue;
        for (const wchar_t* key : {kUserShellFoldersKey, kShellFoldersKey}) {
            std::wstring path;
            if (sources_->Registry().ReadString(root, key, valueName, RegistryView::Default,
                                                path) != rc::Ok) {
                continue;
            }
            if (key == kUserShellFoldersKey) {
                // An unknown profile is never guessed: the value counts as not found.
                if (profileDirectory.empty() &&
                    FindProfileVariable(path) != std::wstring::npos) {
                    continue;
                }
                ReplaceProfileVariable(path, profileDirectory);
                path = sources_->ExpandEnvironment(path);
            }
            if (!path.empty()) {
                out = std::move(path);
                return rc::Ok;
            }
        }
    }
    return rc::PathNotFound;
}

SpecialFolderTable& ProcessSpecialFolders() {
    static SpecialFolderTable table;
    return table;
}

ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out) {
    return ProcessSpecialFolders().Get(id, out);
}

}  // namespace qor
