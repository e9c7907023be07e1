#pragma once
// The walk's items in archive order, and the threads that pack its files ahead of the writer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/zip_prepared_file.h"
#include "common/result.h"

namespace qor {

struct PlanItem {
    enum class Kind { Folder, File, ListingFailed };
    enum class Stage { Waiting, Packing, Writer, Ready };

    Kind kind = Kind::File;
    std::wstring name;  // as printed: a folder's own name, a file's entry name
    std::wstring entryName;
    std::wstring path;
    ResultCode failure = rc::Ok;  // of the listing
    bool packAhead = false;       // a file whose entry is deflated
    // Files: under the plan's lock until the stage is Ready.
    Stage stage = Stage::Waiting;
    std::uint64_t ticket = 0;    // order of the claims by workers
    std::uint64_t reserved = 0;  // bytes of the budget held
    zip::PreparedFile prepared;
};

// Items are appended and taken from the front by the writing thread. Workers claim files in
// order and reserve packed-data room in the order of their claims, so the earliest item holding
// room can always finish and the budget cannot block the writer.
class PackPlan {
public:
    explicit PackPlan(std::uint64_t budget) noexcept : budget_(budget) {}

    std::size_t Size();
    void Append(PlanItem item);
    PlanItem* Front();
    // A file at its turn: true once a worker has packed it, false when the writer reads it.
    [[nodiscard]] bool TakeTurn(PlanItem& item);
    // The front item done: its room in the budget and its data freed.
    void PopFront();
    void Stop() noexcept;
    // A worker's loop, until Stop.
    void Work() noexcept;

private:
    friend class PlanReservation;
    PlanItem* Claim();
    [[nodiscard]] bool Reserve(PlanItem& item, std::uint64_t bound) noexcept;
    void Finish(PlanItem& item, bool turnTaken) noexcept;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PlanItem> items_;
    std::uint64_t first_ = 0;      // plan index of the front item
    std::uint64_t nextClaim_ = 0;  // plan index the workers look at next
    std::uint64_t nextTicket_ = 0;
    std::uint64_t turn_ = 0;  // ticket whose reservation comes next
    std::uint64_t budget_;
    std::uint64_t used_ = 0;
    std::atomic<bool> stop_{false};
};

// Threads running PackPlan::Work: as many as can be started, up to `count`; all stopped and
// joined on destruction.
class PackWorkers {
public:
    PackWorkers(PackPlan& plan, unsigned count) noexcept;
    PackWorkers(const PackWorkers&) = delete;
    PackWorkers& operator=(const PackWorkers&) = delete;
    ~PackWorkers();

private:
    PackPlan& plan_;
    std::vector<std::thread> threads_;
};

}  // namespace qor
