#include "diag/run/step_runner.h"

#include <atomic>
#include <new>
#include <exception>
#include <utility>

namespace qor {
namespace {

std::atomic<bool> g_abandoned{false};

// What a step hands over; shared with its thread, so a late end writes only here.
struct StepOutcome {
    ResultCode code = rc::Ok;
    std::wstring text;
};

}  // namespace

std::optional<std::uint32_t> WholeNumberSetting(const std::wstring* text, std::uint32_t low,
                                                std::uint32_t high) {
    std::size_t digits = 1;
    for (std::uint32_t rest = high; rest >= 10; rest /= 10) ++digits;
    if (!text || text->empty() || text->size() > digits) return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : *text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::uint32_t StepDeadlineFromText(const std::wstring* seconds) {
    const auto value = WholeNumberSetting(seconds, 1, kMaxStepDeadlineSeconds);
    return value ? *value * 1000 : kDefaultStepDeadlineMs;
}

StepRunner::StepRunner(std::uint32_t deadlineMs, StepThreadFactory threads)
    : deadlineMs_(deadlineMs), threads_(threads ? std::move(threads) : MakeStepThread) {}

ResultCode StepRunner::Run(StepWork work, std::wstring& text) {
    auto outcome = std::make_shared<StepOutcome>();
    if (!thread_) thread_ = threads_();
    if (!spare_) spare_ = SpareThread();
    const bool inTime = thread_->Run(
        [work = std::move(work), outcome] {
            try {
                outcome->code = work(outcome->text);
            } catch (const std::bad_alloc&) {
                outcome->code = rc::OutOfMemory;
            }
        },
        deadlineMs_);
    if (!inTime) {
        g_abandoned = true;
        thread_ = std::move(spare_);
        spare_ = SpareThread();  // may never start, when the step given up holds the loader
        return ResultFromWin32(kWin32Timeout);
    }
    text = std::move(outcome->text);
    return outcome->code;
}

// A spare is a help, never a need: without one the next step gets a thread of its own.
std::unique_ptr<StepThread> StepRunner::SpareThread() noexcept {
    try {
        return threads_();
    } catch (const std::exception&) {
        return nullptr;
    }
}

ResultCode StepRunner::Run(StepWork work) {
    std::wstring unused;
    return Run(std::move(work), unused);
}

bool StepThreadAbandoned() noexcept { return g_abandoned; }

void NoteStepAbandoned() noexcept { g_abandoned = true; }

}  // namespace qor
