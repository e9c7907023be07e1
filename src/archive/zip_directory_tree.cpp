#include "archive/zip_directory_tree.h"

#include <chrono>
#include <deque>
#include <new>
#include <thread>
#include <utility>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {
namespace {

constexpr std::uint32_t kRetryDelayMs = 2000;
constexpr ResultCode kWriteFault = SuiteError(0x43);

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Exact and case-sensitive, but "\\" and "/" are the same separator.
bool SamePath(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !(IsSeparator(a[i]) && IsSeparator(b[i]))) return false;
    }
    return true;
}

struct Walk {
    zip::ZipWriter& writer;
    const std::wstring& archivePath;
    bool verbose;
    Console& console;
    SleepFn sleep;
    // (directory path, entry-name prefix) still to be listed
    std::deque<std::pair<std::wstring, std::wstring>> queue;

    void Print(std::wstring_view text) {
        if (verbose) console.Write(text);
    }

    void AddFile(const std::wstring& entryName, const std::wstring& path) {
        Print(L"\tAdding file " + entryName + L"...");
        zip::ZipResult result = writer.AddFile(entryName, path);
        if (result == zip::zr::SourceUnavailable) {
            Print(L"locked, retrying...");
            sleep(kRetryDelayMs);
            result = writer.AddFile(entryName, path);
        }
        Print(result == zip::zr::Ok ? L"OK\n" : L"failed.\n");
    }

    ResultCode ListDirectory(const std::wstring& directory, const std::wstring& prefix) {
        fs::DirectoryEnumerator listing;
        ResultCode result =
            listing.Open(directory, L"*", fs::kinds::Directories | fs::kinds::Files);
        if (Failed(result)) return result;
        fs::DirectoryEntry entry;
        while (Succeeded(result = listing.Next(entry))) {
            if (SamePath(entry.fullPath, archivePath)) continue;
            std::wstring entryName = JoinPath(prefix, entry.name);
            if ((entry.attributes & fs::attr::Directory) == 0) {
                AddFile(entryName, entry.fullPath);
                continue;
            }
            Print(L"\tAdding directory " + entry.name + L"...\n");
            entryName += L'\\';
            queue.emplace_back(entry.fullPath, entryName);
            if (writer.AddFolder(entryName) != zip::zr::Ok) return kWriteFault;
        }
        return result == rc::EndOfEntries ? rc::Ok : result;
    }

    ResultCode Run(const std::wstring& source) {
        queue.emplace_back(source, std::wstring());
        while (!queue.empty()) {
            const auto [directory, prefix] = std::move(queue.front());
            queue.pop_front();
            if (const ResultCode result = ListDirectory(directory, prefix); Failed(result)) {
                return result;
            }
        }
        return writer.Close() == zip::zr::Ok ? rc::Ok : rc::FileNotFound;
    }
};

}  // namespace

void SleepMilliseconds(std::uint32_t milliseconds) noexcept {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ResultCode ZipDirectoryTree(const std::wstring& source, const std::wstring& archivePath,
                            bool verbose, Console& console, SleepFn sleep,
                            const zip::ZipOptions& options) noexcept {
    if (source.empty()) return rc::ArgumentMissing;
    std::uint32_t attributes = 0;
    if (const ResultCode result = fs::QueryAttributes(source, attributes); Failed(result)) {
        return result == rc::FileNotFound ? rc::PathNotFound : result;
    }
    if ((attributes & fs::attr::Directory) == 0) return rc::PathNotFound;
    zip::ZipWriter writer;
    if (Failed(zip::ZipWriter::Create(archivePath, writer, options))) return rc::InvalidHandle;
    try {
        Walk walk{writer, archivePath, verbose, console, sleep, {}};
        return walk.Run(source);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
