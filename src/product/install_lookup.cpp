#include "product/install_lookup.h"

#include "common/path_join.h"
#include "product/product_constants.h"
#include "platform/folder_table.h"
#include "product/trusted_folder.h"

namespace qor {
namespace {

struct MachineValue {
    const wchar_t* key;  // null: the generation's own key
    const wchar_t* value;
};

// Registry sources of the kinds read from the machine, by kind.
constexpr MachineValue kMachineValues[] = {
    {nullptr, L"QorDir"},
    {nullptr, L"QorAllUsersDir"},
    {L"SOFTWARE\\QOR\\QorAdmin2014", L"AdminCommonDir"},
    {L"SOFTWARE\\QOR\\QorAdmin2014", L"AdminAllUsersDir"},
    {L"SOFTWARE\\QOR\\QorAdmin2014", L"AdminServerInstDir"},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {L"SOFTWARE\\QOR\\QorVez", L"VezCommonDir"},
    {L"SOFTWARE\\QOR\\QorVez", L"VezAllUsersDir"},
};

}  // namespace

ResultCode ProductInstallation::LookupProductDirectory(std::uint32_t kind, std::wstring& out,
                                                       std::optional<std::wstring_view> subPath,
                                                       std::wstring_view generation) {
    out.clear();
    std::wstring directory;
    if (const ResultCode code = LookupBase(kind, directory, generation); code != rc::Ok) {
        return code;
    }
    out = subPath ? JoinPath(directory, *subPath) : std::move(directory);
    return rc::Ok;
}

ResultCode ProductInstallation::LookupBase(std::uint32_t kind, std::wstring& out,
                                           std::wstring_view generation) {
    switch (kind) {
        case product_dir::UserRoaming:
        case product_dir::UserLocal: {
            const std::uint32_t id =
                kind == product_dir::UserRoaming ? folder::AppData : folder::LocalAppData;
            std::wstring path;
            if (const ResultCode code = sources_.GetSpecialFolder(id, path); code != rc::Ok) {
                return code;
            }
            out = path + L"\\Qor" + std::wstring(generation);
            return rc::Ok;
        }
        case product_dir::ScannerData:
            return LookupProductDirectory(product_dir::AllUsersData, out, L"avi", generation);
        default:
            break;
    }
    if (kind >= std::size(kMachineValues)) return rc::DirectoryKindOutOfRange;
    const MachineValue& source = kMachineValues[kind];
    const std::wstring key =
        source.key ? std::wstring(source.key) : L"SOFTWARE\\Qor\\Qor" + std::wstring(generation);
    return ReadMachineString(key, source.value, out);
}

ResultCode ProductInstallation::ReadMachineString(const std::wstring& keyPath,
                                                  const std::wstring& valueName,
                                                  std::wstring& out) {
    return sources_.Registry().ReadString(RegistryRoot::LocalMachine, keyPath, valueName,
                                          InstallerView(), out);
}

// The installer is 32-bit: on a 64-bit system its values live in the 32-bit view.
RegistryView ProductInstallation::InstallerView() {
    if (!view_) view_ = sources_.Is64BitSystem() ? RegistryView::Wow32 : RegistryView::Default;
    return *view_;
}

void ProductInstallation::GetLogDirectory(std::wstring& out) {
    std::wstring directory;
    if (LookupProductDirectory(product_dir::AllUsersData, directory, L"log", ProductGeneration) == rc::Ok &&
        sources_.IsDirectory(directory)) {
        out = std::move(directory);
        return;
    }
    out = L".\\";
}

std::wstring ProductInstallation::TrustedOwnFolder() {
    std::wstring folder = sources_.FullPath(sources_.OwnExecutableFolder());
    if (folder.empty()) return folder;
    std::wstring install;
    if (LookupProductDirectory(product_dir::Program, install, std::nullopt, ProductGeneration) ==
        rc::Ok) {
        install = IsAbsolutePath(install) ? sources_.FullPath(install) : std::wstring();
    }
    const bool trusted = IsInstallationDirectory(folder, install) ||
                         (IsUnderProgramFiles(folder, sources_.ProgramFilesFolders()) &&
                          sources_.OnlyAdministratorsMayChange(folder));
    return trusted ? folder : std::wstring();
}

}  // namespace qor
