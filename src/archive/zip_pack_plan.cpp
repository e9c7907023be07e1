#include "archive/zip_pack_plan.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

namespace qor {

class PlanReservation final : public zip::DataReservation {
public:
    PlanReservation(PackPlan& plan, PlanItem& item) noexcept : plan_(plan), item_(item) {}
    bool Reserve(std::uint64_t bound) noexcept override {
        asked = true;
        return plan_.Reserve(item_, bound);
    }
    bool asked = false;

private:
    PackPlan& plan_;
    PlanItem& item_;
};

std::size_t PackPlan::Size() {
    std::lock_guard lock(mutex_);
    return items_.size();
}

void PackPlan::Append(PlanItem item) {
    std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
    changed_.notify_all();
}

PlanItem* PackPlan::Front() {
    std::lock_guard lock(mutex_);
    return items_.empty() ? nullptr : &items_.front();
}

bool PackPlan::TakeTurn(PlanItem& item) {
    std::unique_lock lock(mutex_);
    if (item.stage == PlanItem::Stage::Waiting) {
        item.stage = PlanItem::Stage::Writer;
        return false;
    }
    changed_.wait(lock, [&] { return item.stage == PlanItem::Stage::Ready; });
    return true;
}

void PackPlan::PopFront() {
    PlanItem done;
    {
        std::lock_guard lock(mutex_);
        used_ -= items_.front().reserved;
        done = std::move(items_.front());
        items_.pop_front();
        ++first_;
        changed_.notify_all();
    }
}

void PackPlan::Stop() noexcept {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

PlanItem* PackPlan::Claim() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop_) return nullptr;
        nextClaim_ = std::max(nextClaim_, first_);
        while (nextClaim_ < first_ + items_.size()) {
            PlanItem& item = items_[static_cast<std::size_t>(nextClaim_++ - first_)];
            if (item.packAhead && item.stage == PlanItem::Stage::Waiting) {
                item.stage = PlanItem::Stage::Packing;
                item.ticket = nextTicket_++;
                return &item;
            }
        }
        changed_.wait(lock);
    }
}

// Granted in ticket order; data bigger than the whole budget is left to the writer.
bool PackPlan::Reserve(PlanItem& item, std::uint64_t bound) noexcept {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        return stop_ || (turn_ == item.ticket && (bound > budget_ || used_ + bound <= budget_));
    });
    if (stop_) return false;
    ++turn_;
    changed_.notify_all();
    if (bound > budget_) return false;
    used_ += bound;
    item.reserved = bound;
    return true;
}

void PackPlan::Finish(PlanItem& item, bool turnTaken) noexcept {
    std::unique_lock lock(mutex_);
    if (!turnTaken) {
        changed_.wait(lock, [&] { return stop_ || turn_ == item.ticket; });
        ++turn_;
    }
    const std::uint64_t kept =
        std::min<std::uint64_t>(item.prepared.data.capacity(), item.reserved);
    used_ -= item.reserved - kept;
    item.reserved = kept;
    item.stage = PlanItem::Stage::Ready;
    changed_.notify_all();
}

void PackPlan::Work() noexcept {
    std::unique_ptr<zip::PackTools> tools(new (std::nothrow) zip::PackTools);
    if (!tools) return;
    try {
        while (PlanItem* item = Claim()) {
            PlanReservation reservation(*this, *item);
            zip::PrepareFile(item->entryName, item->path, *tools, reservation, stop_,
                             item->prepared);
            Finish(*item, reservation.asked);
        }
    } catch (const std::system_error&) {
        // a lock that cannot be taken: this worker stops
    }
}

PackWorkers::PackWorkers(PackPlan& plan, unsigned count) noexcept : plan_(plan) {
    try {
        threads_.reserve(count);
        for (unsigned i = 0; i < count; ++i) threads_.emplace_back([&plan] { plan.Work(); });
    } catch (const std::exception&) {
        // fewer workers, maybe none: the writer packs whatever they do not
    }
}

PackWorkers::~PackWorkers() {
    plan_.Stop();
    for (std::thread& thread : threads_) thread.join();
}

}  // namespace qor
