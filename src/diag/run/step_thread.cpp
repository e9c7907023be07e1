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
    std::function<void()> work;
    bool busy = false;
    bool stop = false;
};

void ServeSteps(StepQueue& queue) {
    std::unique_lock lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [&] { return queue.busy || queue.stop; });
        if (!queue.busy) return;
        std::function<void()> work = std::move(queue.work);
        lock.unlock();
        work();
        work = nullptr;  // its captures go before the owner hears of the end
        lock.lock();
        queue.busy = false;
        queue.changed.notify_all();
        if (queue.stop) return;
    }
}

class ThreadStepThread final : public StepThread {
public:
    ThreadStepThread()
        : queue_(std::make_shared<StepQueue>()),
          thread_([queue = queue_] { ServeSteps(*queue); }) {}

    ~ThreadStepThread() override {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(queue_->mutex);
            queue_->stop = true;
        }
        queue_->changed.notify_all();
        thread_.join();
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
        // Never joined: it may be stuck inside foreign code for good.
        queue_->stop = true;
        lock.unlock();
        thread_.detach();
        return false;
    }

private:
    std::shared_ptr<StepQueue> queue_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<StepThread> MakeStepThread() { return std::make_unique<ThreadStepThread>(); }

}  // namespace qor
