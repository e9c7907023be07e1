#include "diag/suite/file_collectors.h"

#include <cstdint>
#include <initializer_list>
#include <new>
#include <set>

#include "common/path_join.h"
#include "diag/suite/file_copy.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {
namespace {

constexpr const wchar_t* kGeneration = L"2014";

// TEMP, the users' folders, the all-users data folders and the shared RUVAruz logs may be
// written by any program of a user: the levels below the folder the source is named by are
// opened without following links. Only the Windows folder is protected.
void CopyAll(const std::wstring& root, const std::wstring& below, const std::wstring& target,
             std::initializer_list<const wchar_t*> masks) {
    for (const wchar_t* mask : masks) {
        static_cast<void>(CopyMatchingFilesBelow(root, below, target, mask));
    }
}

// The collectors' folders in the work directory are made by them: an entry of that name
// that was there before is a failure, never used. A folder met twice is made once.
class FreshFolders {
public:
    [[nodiscard]] ResultCode Make(const std::wstring& path) {
        if (made_.count(path) != 0) return rc::Ok;
        if (const ResultCode code = fs::MakeDirectory(path); Failed(code)) return code;
        made_.insert(path);
        return rc::Ok;
    }

private:
    std::set<std::wstring> made_;
};

// Each folder of the enumeration into its own sub-folder of `logs`.
ResultCode CopyProductFolders(GatheringSources& sources, FreshFolders& made,
                              const std::wstring& logs, const wchar_t* subPath,
                              const wchar_t* productFolder,
                              std::initializer_list<const wchar_t*> masks) {
    ProductFolderEnumerator folders(sources);
    ResultCode result = folders.Start(subPath, productFolder, kGeneration);
    if (Failed(result)) return result;
    std::wstring root, below;
    for (; (result = folders.Current(root, below)) == rc::Ok; folders.Advance()) {
        const std::wstring target = JoinPath(logs, MangledFolderName(JoinPath(root, below)));
        result = made.Make(target);
        if (Failed(result)) break;
        CopyAll(root, below, target, masks);
    }
    folders.Release();
    return result == rc::EndOfEntries ? rc::Ok : result;
}

ResultCode LogFiles(GatheringSources& sources, const std::wstring& workDirectory, bool fullSet) {
    const std::wstring logs = JoinPath(workDirectory, L"logs");
    FreshFolders made;
    ResultCode result = made.Make(logs);
    if (Failed(result)) return result;
    if (fullSet) {
        result = CopyProductFolders(sources, made, logs, L"log", L"Qor2014",
                                    {L"*.log", L"*.log.*", L"*.cfg"});
        if (Failed(result)) return result;
        result = CopyProductFolders(sources, made, logs, L"logs", L"RUVAruz", {L"*.log"});
        if (Failed(result)) return result;
    }
    std::wstring temp;
    result = sources.TempFolder(temp);
    if (Failed(result)) return result;
    CopyAll(temp, L"", logs, {L"ndisprot.log", L"*qor9inst*", L"*qor*.log"});

    std::wstring windows;
    result = sources.WindowsFolder(windows);
    if (Failed(result)) return result;
    if (sources.IsVistaOrLater()) windows = JoinPath(windows, L"inf\\");
    static_cast<void>(CopyMatchingFiles(windows, logs, L"setupapi.*"));

    CopyAll(temp, L"RUVAruz\\Logs", logs, {L"*.log"});

    // From the system's shell folder, never the environment.
    std::wstring allUsers;
    result = sources.CommonAppDataFolder(allUsers);
    if (Failed(result)) return result;
    CopyAll(allUsers, L"RUVAruz\\Logs", logs, {L"*.log"});
    return rc::Ok;
}

// A protected source's files into a folder made for them, when the source exists; the
// copy's own outcome is not reported.
ResultCode CopyIntoNewFolder(const std::wstring& source, const std::wstring& target,
                             const wchar_t* mask) {
    if (!fs::IsDirectory(source)) return rc::Ok;
    if (const ResultCode code = fs::MakeDirectory(target); Failed(code)) return code;
    static_cast<void>(CopyMatchingFiles(source, target, mask));
    return rc::Ok;
}

// The same from the folder `below` in `root`, opened level by level without following links.
ResultCode CopyIntoNewFolderBelow(const std::wstring& root, const std::wstring& below,
                                  const std::wstring& target, const wchar_t* mask) {
    fs::File folder;
    if (Failed(fs::OpenFolderBelow(root, below, folder))) return rc::Ok;
    if (const ResultCode code = fs::MakeDirectory(target); Failed(code)) return code;
    static_cast<void>(CopyMatchingFilesBelow(root, below, target, mask));
    return rc::Ok;
}

}  // namespace

ResultCode CollectConfigFiles(GatheringSources& sources,
                              const std::wstring& workDirectory) noexcept {
    try {
        std::wstring source;
        const ResultCode result = sources.AllUsersDirectory(L"cfg", kGeneration, source);
        if (Failed(result)) return result;
        // The all-users data folder may be one its users can write: "cfg" is not followed.
        constexpr std::wstring_view kCfg = L"cfg";
        if (source.size() <= kCfg.size() || source.compare(source.size() - 3, 3, kCfg) != 0) {
            return rc::PathNotFound;
        }
        const std::wstring root = source.substr(0, source.size() - kCfg.size());
        return CopyIntoNewFolderBelow(root, L"cfg", JoinPath(workDirectory, L"cfgs"), L"*.cfg");
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode CollectLogFiles(GatheringSources& sources, const std::wstring& workDirectory,
                           bool fullSet) noexcept {
    try {
        return LogFiles(sources, workDirectory, fullSet);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode CollectInfFiles(GatheringSources& sources, const std::wstring& workDirectory) noexcept {
    try {
        std::wstring windows;
        const ResultCode result = sources.WindowsFolder(windows);
        if (Failed(result)) return result;
        return CopyIntoNewFolder(JoinPath(windows, L"inf\\"), JoinPath(workDirectory, L"infs"),
                                 L"oem*.inf");
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode CollectCatalogLog(GatheringSources& sources,
                             const std::wstring& workDirectory) noexcept {
    try {
        std::wstring windows;
        const ResultCode result = sources.WindowsFolder(windows);
        if (Failed(result)) return result;
        const std::wstring source = JoinPath(windows, L"System32\\catroot2\\dberr.txt");
        std::uint32_t attributes = 0;
        if (Failed(fs::QueryAttributes(source, attributes)) ||
            (attributes & fs::attr::Directory) != 0) {
            return rc::Ok;
        }
        return fs::CopyFileNew(source, JoinPath(workDirectory, L"catdberr.txt"));
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
