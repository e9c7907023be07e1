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

// TEMP, the users' folders and the shared RUVAruz logs may be written by any program of a
// user; only the Windows folder is named protected.
void CopyAll(const std::wstring& source, const std::wstring& target,
             std::initializer_list<const wchar_t*> masks,
             SourceFolder from = SourceFolder::UserWritable) {
    for (const wchar_t* mask : masks) {
        static_cast<void>(CopyMatchingFiles(source, target, mask, from));
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
    std::wstring folder;
    for (; (result = folders.Current(folder)) == rc::Ok; folders.Advance()) {
        const std::wstring target = JoinPath(logs, MangledFolderName(folder));
        result = made.Make(target);
        if (Failed(result)) break;
        CopyAll(folder, target, masks);
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
    CopyAll(temp, logs, {L"ndisprot.log", L"*qor9inst*", L"*qor*.log"});

    std::wstring windows;
    result = sources.WindowsFolder(windows);
    if (Failed(result)) return result;
    if (sources.IsVistaOrLater()) windows = JoinPath(windows, L"inf\\");
    CopyAll(windows, logs, {L"setupapi.*"}, SourceFolder::Protected);

    CopyAll(JoinPath(temp, L"RUVAruz\\Logs"), logs, {L"*.log"});

    std::wstring allUsers;
    result = sources.IsVistaOrLater() ? sources.EnvironmentPath(L"ALLUSERSPROFILE", allUsers)
                                      : sources.CommonAppDataFolder(allUsers);
    if (Failed(result)) return result;
    CopyAll(JoinPath(allUsers, L"RUVAruz\\Logs"), logs, {L"*.log"});
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

}  // namespace

ResultCode CollectConfigFiles(GatheringSources& sources,
                              const std::wstring& workDirectory) noexcept {
    try {
        std::wstring source;
        const ResultCode result = sources.AllUsersDirectory(L"cfg", kGeneration, source);
        if (Failed(result)) return result;
        return CopyIntoNewFolder(source, JoinPath(workDirectory, L"cfgs"), L"*.cfg");
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
