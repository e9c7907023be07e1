#include "archive/zip_directory_tree.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "archive/zip_format.h"
#include "archive/zip_pack_plan.h"
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

// Plan items listed ahead of the writer when workers pack files.
constexpr std::size_t kLookahead = 64;
constexpr unsigned kMostWorkers = 16;

struct Walk {
    zip::ZipWriter& writer;
    const std::wstring& archivePath;
    bool verbose;
    Console& console;
    SleepFn sleep;
    PackPlan& plan;
    std::size_t lookahead;  // 0: the next entry is listed when the last one is done
    // (directory path, entry-name prefix) still to be listed
    std::deque<std::pair<std::wstring, std::wstring>> queue;
    // The directory being listed, held open between entries, and its entry-name prefix.
    std::optional<fs::DirectoryEnumerator> listing;
    std::wstring prefix;
    bool listingFailed = false;

    void Print(std::wstring_view text) {
        if (verbose) console.Write(text);
    }

    void AddFile(PlanItem& item) {
        Print(L"\tAdding file " + item.name + L"...");
        zip::ZipResult result = plan.TakeTurn(item)
                                    ? writer.AddPrepared(item.entryName, item.path, item.prepared)
                                    : writer.AddFile(item.entryName, item.path);
        if (result == zip::zr::SourceUnavailable) {
            Print(L"locked, retrying...");
            sleep(kRetryDelayMs);
            result = writer.AddFile(item.entryName, item.path);
        }
        // Every later entry fails now: nothing more is worth packing ahead.
        if (writer.OutputFailed()) plan.Stop();
        Print(result == zip::zr::Ok ? L"OK\n" : L"failed.\n");
    }

    void PlanFailure(ResultCode result) {
        PlanItem item;
        item.kind = PlanItem::Kind::ListingFailed;
        item.failure = result;
        plan.Append(std::move(item));
        listingFailed = true;
    }

    // The next queued directory opened for listing; false when none is left or it failed.
    bool OpenNext() {
        if (queue.empty()) return false;
        const auto [directory, entryPrefix] = std::move(queue.front());
        queue.pop_front();
        listing.emplace();
        const ResultCode result =
            listing->Open(directory, L"*",
                          fs::kinds::Directories | fs::kinds::Files | fs::kinds::NotThroughLink);
        if (Failed(result)) {
            listing.reset();
            PlanFailure(result);
            return false;
        }
        prefix = entryPrefix;
        return true;
    }

    // One more entry of the open directory into the plan; at its end the listing is closed,
    // and a failure to list goes into the plan.
    void ListOne() {
        fs::DirectoryEntry entry;
        if (const ResultCode result = listing->Next(entry); Failed(result)) {
            listing.reset();
            if (result != rc::EndOfEntries) PlanFailure(result);
            return;
        }
        if (SamePath(entry.fullPath, archivePath)) return;
        PlanItem item;
        item.entryName = JoinPath(prefix, entry.name);
        if ((entry.attributes & fs::attr::Directory) == 0) {
            item.name = item.entryName;
            item.path = std::move(entry.fullPath);
            item.packAhead = lookahead != 0 && !zip::IsStoredName(item.entryName);
        } else {
            item.kind = PlanItem::Kind::Folder;
            item.name = entry.name;
            item.entryName += L'\\';
            queue.emplace_back(entry.fullPath, item.entryName);
        }
        plan.Append(std::move(item));
    }

    // The plan listed up to the lookahead, one entry at a time, whatever the folders' widths.
    void Refill() {
        while (!listingFailed && plan.Size() <= lookahead) {
            if (!listing && !OpenNext()) return;
            if (listing) ListOne();
        }
    }

    // One item at its turn; a failure ends the walk.
    ResultCode Take(PlanItem& item) {
        switch (item.kind) {
            case PlanItem::Kind::ListingFailed:
                return item.failure;
            case PlanItem::Kind::Folder:
                Print(L"\tAdding directory " + item.name + L"...\n");
                return writer.AddFolder(item.entryName) == zip::zr::Ok ? rc::Ok : kWriteFault;
            case PlanItem::Kind::File:
                AddFile(item);
                return rc::Ok;
        }
        return rc::Ok;
    }

    ResultCode Run(const std::wstring& source) {
        queue.emplace_back(source, std::wstring());
        for (;;) {
            Refill();
            PlanItem* item = plan.Front();
            if (item == nullptr) break;
            if (const ResultCode result = Take(*item); Failed(result)) return result;
            plan.PopFront();
        }
        return writer.Close() == zip::zr::Ok ? rc::Ok : rc::FileNotFound;
    }
};

ResultCode PackTree(zip::ZipWriter& writer, const std::wstring& source,
                    const std::wstring& archivePath, bool verbose, Console& console,
                    SleepFn sleep, const zip::ZipOptions& options) {
    const unsigned workers = options.workers > 1 ? std::min(options.workers, kMostWorkers) : 0;
    PackPlan plan(options.inFlightBudget);
    PackWorkers threads(plan, workers);  // stopped and joined before the plan goes
    const std::size_t lookahead = workers != 0 ? kLookahead : 0;
    Walk walk{writer, archivePath, verbose, console, sleep, plan, lookahead, {}, {}, {}, false};
    return walk.Run(source);
}

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
        return PackTree(writer, source, archivePath, verbose, console, sleep, options);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    } catch (const std::system_error&) {
        return rc::InvalidFunction;  // a lock of the plan failed
    }
}

}  // namespace qor
