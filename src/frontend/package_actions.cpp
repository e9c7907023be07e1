#include "frontend/package_actions.h"

#include "common/path_join.h"
#include "common/text_format.h"
#include "frontend/error_report.h"
#include "product/product_constants.h"
#include "platform/fs.h"

namespace qor {
namespace {

constexpr const wchar_t* kStarting = L"\nStarting information gathering process, please stand by.\n";
constexpr const wchar_t* kStepStillStuck =
    L"\nA step of the previous run is still stuck; no new run is started.\n"
    L"Please restart the program to make another diagnostics file.\n";
constexpr const wchar_t* kCopying =
    L"\nDiagnostics process finished, copying archive file, please stand by.\n";

std::wstring ReplaceAll(std::wstring text, std::wstring_view what, std::wstring_view with) {
    for (std::size_t at = 0; (at = text.find(what, at)) != std::wstring::npos; at += with.size()) {
        text.replace(at, what.size(), with);
    }
    return text;
}

std::size_t NameStart(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/:");
    return last == std::wstring::npos ? 0 : last + 1;
}

// An existing destination is removed first, so that a link put at its name is removed
// rather than written through.
ResultCode CopyOverWithoutFollowing(const std::wstring& from, const std::wstring& to) {
    const ResultCode removed = fs::RemoveFile(to);
    if (Failed(removed) && removed != rc::FileNotFound) return removed;
    return fs::CopyFileNew(from, to);
}

std::wstring WithoutTrailingSeparator(std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

// The tool's own dumps folder: made for it when missing; an existing one only when it is a
// real folder that nobody but the administrators can change (rc::LinkRefused otherwise).
ResultCode OpenDumpsFolder(const std::wstring& folder, fs::File& held) {
    const ResultCode made = fs::MakePrivateDirectory(folder, held);
    if (made != rc::AlreadyExists) return made;
    if (const ResultCode code = fs::OpenFolderNoFollow(folder, held); Failed(code)) return code;
    if (fs::IsAdministratorsFolder(held)) return rc::Ok;
    held.Close();
    return rc::LinkRefused;
}

// Made next to the held folder: a plain file of the name is replaced, a link there is not
// followed and stays.
ResultCode CopyInto(const std::wstring& from, fs::File& folder, const std::wstring& name) {
    const ResultCode removed = fs::RemoveFileIn(folder, name);
    if (Failed(removed) && removed != rc::FileNotFound) return removed;
    return fs::CopyFileNewIn(from, folder, name);
}

}  // namespace

std::wstring PackageCopyName(const std::wstring& packagePath) {
    return ReplaceAll(packagePath.substr(NameStart(packagePath)), L".tmp", L".zip");
}

std::wstring ReportTextPath(const std::wstring& reportPath) {
    const std::size_t start = NameStart(reportPath);
    return reportPath.substr(0, start) +
           ReplaceAll(reportPath.substr(start), L".tmp", L".txt");
}

void PackageActions::CreateDiagnosticsPackage(bool removeWorkDirectory) {
    console_.Write(kStarting);
    const std::unique_ptr<DiagnosticsRun> run = makeRun_();
    if (!run) {
        console_.Write(kStepStillStuck);
        return;
    }
    run->SetRemoveWorkDirectory(removeWorkDirectory);
    std::wstring packagePath;
    if (const Result result = run->Run(packagePath, FullSet | Verbose); result.IsFailed()) {
        PrintError(console_, result);
        return;
    }
    console_.Write(kCopying);
    std::wstring destination;
    const ResultCode copied = CopyToDumpsFolder(packagePath, destination);
    if (Failed(copied)) {
        PrintErrorCode(console_, copied);
        return;
    }
    if (destination.empty()) return;  // no folder and no error to report
    PrintSavedAs(destination);
    if (const ResultCode code = shell_.ShowInExplorer(destination); Failed(code)) {
        PrintErrorCode(console_, code);
    }
}

// The suite's dumps folder, else the current directory. A dumps folder that is not the tool's
// own counts as none. A current directory that cannot be read without an error code leaves
// `destination` empty.
ResultCode PackageActions::CopyToDumpsFolder(const std::wstring& packagePath,
                                             std::wstring& destination) {
    const std::wstring name = PackageCopyName(packagePath);
    std::wstring folder;
    fs::File held;
    ResultCode opened = installation_.LookupProductDirectory(product_dir::AllUsersData, folder,
                                                             L"dumps\\", ProductGeneration);
    if (opened == rc::Ok) {
        opened = OpenDumpsFolder(WithoutTrailingSeparator(folder), held);
        if (Failed(opened) && opened != rc::LinkRefused) return opened;
    }
    if (opened != rc::Ok) {
        const ResultCode code = fs::CurrentDirectory(folder);
        if (Failed(code) || folder.empty()) return code;
        if (const ResultCode open = fs::OpenFolderNoFollow(folder, held); Failed(open)) return open;
    }
    destination = JoinPath(folder, name);
    return CopyInto(packagePath, held, name);
}

void PackageActions::SaveReportAndOpen() {
    console_.Write(kStarting);
    const std::unique_ptr<DiagnosticsRun> run = makeRun_();
    if (!run) {
        console_.Write(kStepStillStuck);
        return;
    }
    run->SetRemoveWorkDirectory(false);
    std::wstring reportPath;
    if (const Result result = run->Run(reportPath, ReportOnly); result.IsFailed()) {
        PrintError(console_, result);
        return;
    }
    console_.Write(FormatText(
        L"\nDiagnostics process finished. Please stand by, opening the output file:\n%ls\n",
        reportPath.c_str()));
    const std::wstring textPath = ReportTextPath(reportPath);
    if (const ResultCode code = fs::MoveFileOver(reportPath, textPath); Failed(code)) {
        PrintErrorCode(console_, code);
        return;
    }
    shell_.Open(textPath);
}

ResultCode PackageActions::RunToFile(const std::wstring& fileName) {
    const std::unique_ptr<DiagnosticsRun> run = makeRun_();
    if (!run) {
        console_.Write(kStepStillStuck);
        return ResultFromWin32(kWin32Timeout);
    }
    run->SetRemoveWorkDirectory(true);
    std::wstring packagePath;
    if (const Result result = run->Run(packagePath, FullSet | Verbose); result.IsFailed()) {
        PrintError(console_, result);
        return result.Code();
    }
    console_.Write(kCopying);
    console_.Write(FormatText(L"\nCopying '%ls'\nto '%ls'.\n", packagePath.c_str(), fileName.c_str()));
    if (const ResultCode code = CopyOverWithoutFollowing(packagePath, fileName); Failed(code)) {
        PrintErrorCode(console_, code);
        return code;
    }
    PrintSavedAs(fileName);
    return rc::Ok;
}

void PackageActions::PrintSavedAs(const std::wstring& destination) {
    console_.Write(FormatText(L"\nThe diagnostics file was saved as:\n%ls\n"
                              L"Please send the file to your Technical Support contact.\n\n",
                              destination.c_str()));
}

}  // namespace qor
