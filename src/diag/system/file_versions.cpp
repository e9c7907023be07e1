#include "diag/system/file_versions.h"

#include <new>

#include "common/text_format.h"
#include "platform/dir_enum.h"
#include "platform/folder_table.h"
#include "platform/version_resource.h"

namespace qor {
namespace {

constexpr const wchar_t* kHeading = L"File versions in %ls directory:\n\n";
// A listing that keeps failing on the same entry ends rather than spins.
constexpr int kMaxFailuresInARow = 8;

std::wstring FileNamePart(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// One line per regular file of the listing. With `stopOnFailure` the first entry that cannot
// be taken ends the walk with its failure; otherwise it is skipped.
ResultCode AppendListing(std::wstring& text, fs::DirectoryEnumerator& listing,
                         bool stopOnFailure) {
    int failuresInARow = 0;
    for (;;) {
        fs::DirectoryEntry entry;
        const ResultCode taken = listing.Next(entry);
        if (taken == rc::EndOfEntries) return rc::Ok;
        if (Failed(taken)) {
            if (stopOnFailure) return taken;
            if (++failuresInARow == kMaxFailuresInARow) return rc::Ok;
            continue;
        }
        failuresInARow = 0;
        (void)AppendFileVersionLine(text, entry.fullPath);
    }
}

constexpr std::uint32_t kRegularFiles = fs::kinds::Files;

ResultCode DumpInstallDirectory(std::wstring& text, const std::wstring& directory) {
    text += FormatText(kHeading, directory.c_str());
    for (const wchar_t* mask : {L"*.exe", L"*.dll"}) {
        fs::DirectoryEnumerator listing;
        if (Failed(listing.Open(directory, mask, kRegularFiles))) continue;
        if (const ResultCode result = AppendListing(text, listing, true); Failed(result)) {
            return result;
        }
    }
    return rc::Ok;
}

void DumpSystemListing(std::wstring& text, const std::wstring& directory, const wchar_t* mask) {
    fs::DirectoryEnumerator listing;
    if (Failed(listing.Open(directory, mask, kRegularFiles))) return;
    text += L"\n";
    text += FormatText(kHeading, directory.c_str());
    (void)AppendListing(text, listing, false);
}

}  // namespace

ResultCode DumpFileVersionsIn(std::wstring& text, const std::wstring& installDirectory,
                              const std::wstring& systemDirectory) noexcept {
    try {
        const std::wstring drivers = systemDirectory + L"\\drivers\\";
        const std::wstring suiteDrivers = systemDirectory + L"\\drivers\\Qor\\";
        if (const ResultCode result = DumpInstallDirectory(text, installDirectory);
            Failed(result)) {
            return result;
        }
        DumpSystemListing(text, drivers, L"qor*.*");
        DumpSystemListing(text, systemDirectory, L"qor*.*");
        DumpSystemListing(text, suiteDrivers, L"*.*");
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DumpFileVersions(std::wstring& text, const std::wstring& installDirectory) noexcept {
    std::wstring system;
    if (const ResultCode result = GetSpecialFolder(folder::NativeSystem, system); Failed(result)) {
        return result;
    }
    return DumpFileVersionsIn(text, installDirectory, system);
}

ResultCode AppendFileVersionLine(std::wstring& text, const std::wstring& path) noexcept {
    VersionResourceReader reader;
    FileVersionInfo info;
    std::wstring version;
    ResultCode result = reader.OpenForVersion(path);
    if (Succeeded(result)) result = reader.ReadStrings(info);
    if (Succeeded(result)) result = reader.GetFileVersionText(version);
    if (Failed(result)) return result;
    try {
        text += FormatText(L"%ls %ls\n", FileNamePart(path).c_str(), version.c_str());
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
