#include "diag/suite/file_collectors.h"

#include <cstdint>
#include <initializer_list>
#include <new>

#include "common/path_join.h"
#include "diag/suite/file_copy.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {
namespace {

constexpr const wchar_t* kGeneration = L"2014";

void CopyAll(const std::wstring& source, const std::wstring& target,
             std::initializer_list<const wchar_t*> masks) {
    for (const wchar_t* mask : masks) static_cast<void>(CopyMatchingFiles(source, target, mask));
}

// Each folder of the enumeration into its own sub-folder of `logs`.
ResultCode CopyProductFolders(GatheringSources& sources, const std::wstring& logs,
                              const wchar_t* subPath, const wchar_t* productFolder,
                              std::initializer_list<const wchar_t*> masks) {
    ProductFolderEnumerator folders(sources);
    ResultCode result = folders.Start(subPath, productFolder, kGeneration);
    if (Failed(result)) return result;
    std::wstring folder;
    for (; (result = folders.Current(folder)) == rc::Ok; folders.Advance()) {
        const std::wstring target = JoinPath(logs, MangledFolderName(folder));
        result = EnsureDirectory(target);
        if (Failed(result)) break;
        CopyAll(folder, target, masks);
    }
    folders.Release();
    return result == rc::EndOfEntries ? rc::Ok : result;
}

ResultCode LogFiles(GatheringSources& sources, const std::wstring& workDirectory, bool fullSet) {
    const std::wstring logs = JoinPath(workDirectory, L"logs");
    ResultCode result = EnsureDirectory(logs);
    if (Failed(result)) return result;
    if (fullSet) {
        result = CopyProductFolders(sources, logs, L"log", L"Qor2014",
                                    {L"*.log", L"*.log.*", L"*.cfg"});
        if (Failed(result)) return result;
        result = CopyProductFolders(sources, logs, L"logs", L"RUVAruz", {L"*.log"});
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
    CopyAll(windows, logs, {L"setupapi.*"});

    CopyAll(JoinPath(temp, L"RUVAruz\\Logs"), logs, {L"*.log"});

    std::wstring allUsers;
    result = sources.IsVistaOrLater() ? sources.EnvironmentPath(L"ALLUSERSPROFILE", allUsers)
                                      : sources.CommonAppDataFolder(allUsers);
    if (Failed(result)) return result;
    CopyAll(JoinPath(allUsers, L"RUVAruz\\Logs"), logs, {L"*.log"});
    return rc::Ok;
}

}  // namespace

ResultCode CollectConfigFiles(GatheringSources& sources,
                              const std::wstring& workDirectory) noexcept {
    try {
        std::wstring source;
        const ResultCode result = sources.AllUsersDirectory(L"cfg", kGeneration, source);
        if (Failed(result)) return result;
        static_cast<void>(CopyMatchingFiles(source, JoinPath(workDirectory, L"cfgs"), L"*.cfg"));
        return rc::Ok;
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
        static_cast<void>(CopyMatchingFiles(JoinPath(windows, L"inf\\"),
                                            JoinPath(workDirectory, L"infs"), L"oem*.inf"));
        return rc::Ok;
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
