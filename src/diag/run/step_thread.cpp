// The step thread of the run: a std::thread that takes one piece of work at a time.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "diag/run/step_runner.h"

namespace qor {
namespace {

// Shared by the owner and the thread, so a thread given up never outlives what it uses.
struct StepQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> work;  // handed over, not yet taken
    bool busy = false;           // handed over and not yet ended
    bool stop = false;
};

void ServeSteps(StepQueue& queue) {
    std::unique_lock lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [&] { return queue.work || queue.stop; });
        if (queue.stop) return;  // work left behind was given up: it never runs
        std::function<void()> work = std::move(queue.work);
        queue.work = nullptr;
        lock.unlock();
        work();
        work = nullptr;  // its captures go before the owner hears of the end
        lock.lock();
        queue.busy = false;
        queue.changed.notify_all();
    }
}

// Never joined: the end of a thread waits for the loader's lock, which a thread given up
// may hold for good. The thread ends by itself once told to stop.
class ThreadStepThread final : public StepThread {
public:
    ThreadStepThread() : queue_(std::make_shared<StepQueue>()) {
        std::thread([queue = queue_] { ServeSteps(*queue); }).detach();
    }

    ~ThreadStepThread() override {
        {
            const std::lock_guard lock(queue_->mutex);
            queue_->stop = true;
            queue_->work = nullptr;
        }
        queue_->changed.notify_all();
    }

    bool Run(std::function<void()> work, std::uint32_t milliseconds) override {
        std::unique_lock lock(queue_->mutex);
        queue_->work = std::move(work);
        queue_->busy = true;
        queue_->changed.notify_all();
        if (queue_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [&] { return !queue_->busy; })) {
            return true;
        }
        // Work the thread has not taken yet is dropped here, so it never runs late.
        queue_->work = nullptr;
        queue_->stop = true;
        lock.unlock();
        queue_->changed.notify_all();
        return false;
    }

private:
    std::shared_ptr<StepQueue> queue_;
};

}  // namespace

std::unique_ptr<StepThread> MakeStepThread() { return std::make_unique<ThreadStepThread>(); }

}  // namespace qor
