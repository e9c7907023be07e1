#include "platform/service_start.h"

#include <algorithm>
#include <optional>

namespace qor {
namespace {

constexpr std::uint32_t kStallGraceMs = 80000;  // beyond the wait hint
constexpr std::uint32_t kPollHintDivisor = 10;
constexpr std::uint32_t kPollMinMs = 250;
constexpr std::uint32_t kPollMaxMs = 10000;
constexpr std::uint32_t kStartRetryPauseMs = 1001;
constexpr std::uint32_t kLockPatienceMs = 120000;
constexpr std::uint32_t kLockedSleepMs = 2000;

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorDatabaseLocked = 1055;
constexpr std::uint32_t kErrorAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceSpecific = 1066;

std::uint32_t PollSleepMs(std::uint32_t waitHint) noexcept {
    return std::clamp(waitHint / kPollHintDivisor, kPollMinMs, kPollMaxMs);
}

bool IsStartedState(std::uint32_t state) noexcept {
    return state >= kServiceStopPending && state <= kServicePaused;
}

// The outcome for a service that stopped again after a successful start.
Result StoppedAfterStart(const ServiceStatus& status) {
    if (status.win32ExitCode != kErrorServiceSpecific) {
        return Result(ResultFromWin32(status.win32ExitCode));
    }
    const auto specific = static_cast<ResultCode>(status.serviceExitCode);
    // A specific code that is not a failure code would read as success.
    return Result(Failed(specific) ? specific : ResultFromWin32(kErrorServiceSpecific));
}

// One call of StartServiceAndWait: what it has seen so far.
class StartRun {
public:
    StartRun(ServiceControl& service, const std::wstring& name) noexcept
        : service_(service), name_(name) {}

    Result Run() {
        for (;;) {
            ServiceStatus status;
            if (const ResultCode code = service_.QueryStatus(status); Failed(code)) {
                return Result(code);
            }
            if (auto failed = WaitWhilePending(status)) return *failed;
            if (IsStartedState(status.state)) return Result();
            if (started_) return StoppedAfterStart(status);
            if (attempted_ && service_.TickCount() - attemptTick_ < kStartRetryPauseMs) {
                service_.Sleep(PollSleepMs(status.waitHint));  // polls, never spins
                continue;
            }
            if (auto done = AttemptStart()) return *done;
            attempted_ = true;
            attemptTick_ = service_.TickCount();
        }
    }

private:
    // Polls while the start is pending; `status` ends as the first other state.
    std::optional<Result> WaitWhilePending(ServiceStatus& status) {
        while (status.state == kServiceStartPending) {
            const std::uint32_t now = service_.TickCount();
            if (!checkPointSeen_ || status.checkPoint > checkPoint_) {
                checkPointSeen_ = true;
                checkPoint_ = status.checkPoint;
                checkPointTick_ = now;
            } else if (const std::uint32_t waited = now - checkPointTick_;
                       waited > std::uint64_t{status.waitHint} + kStallGraceMs) {
                return Stalled(status, waited);
            }
            service_.Sleep(PollSleepMs(status.waitHint));
            if (const ResultCode code = service_.QueryStatus(status); Failed(code)) {
                return Result(code);
            }
        }
        return std::nullopt;
    }

    // A result when the run ends here; none to poll again.
    std::optional<Result> AttemptStart() {
        const ResultCode code = service_.Start();
        if (Succeeded(code)) {
            started_ = true;
            return std::nullopt;
        }
        if (code == ResultFromWin32(kErrorAlreadyRunning)) return Result();
        if (code == ResultFromWin32(kErrorDatabaseLocked)) return WaitOutLock();
        return Result(code);
    }

    std::optional<Result> WaitOutLock() {
        const std::uint32_t now = service_.TickCount();
        if (!lockMet_) {
            lockMet_ = true;
            lockTick_ = now;
        } else if (now - lockTick_ > kLockPatienceMs) {
            ServiceLockStatus lock;
            if (const ResultCode code = service_.QueryLockStatus(lock); Failed(code)) {
                return Result(code);
            }
            if (lock.locked) return Locked(lock);
        }
        service_.Sleep(kLockedSleepMs);
        return std::nullopt;
    }

    Result Stalled(const ServiceStatus& status, std::uint32_t waited) const {
        QorException record(rc::ServiceStartStalled);
        record.AddValue(L"%NAME%", name_);
        record.AddValue(L"%CHECK_POINT%", std::to_wstring(status.checkPoint));
        record.AddValue(L"%WAIT_HINT%", std::to_wstring(status.waitHint));
        record.AddValue(L"%WAIT_TIME%", std::to_wstring(waited));
        return Result(record);
    }

    static Result Locked(const ServiceLockStatus& lock) {
        QorException record(rc::ServiceDatabaseLocked);
        record.AddValue(L"%USER%", lock.owner);
        record.AddValue(L"%TIME%", std::to_wstring(lock.durationSeconds));
        return Result(record);
    }

    ServiceControl& service_;
    const std::wstring& name_;
    bool checkPointSeen_ = false;
    std::uint32_t checkPoint_ = 0;
    std::uint32_t checkPointTick_ = 0;
    bool started_ = false;
    bool attempted_ = false;
    std::uint32_t attemptTick_ = 0;
    bool lockMet_ = false;
    std::uint32_t lockTick_ = 0;
};

}  // namespace

Result StartServiceAndWait(ServiceManager& manager, const std::wstring& name) {
    std::unique_ptr<ServiceControl> service;
    if (const ResultCode code = manager.Open(name, service); Failed(code)) return Result(code);
    if (!service) return Result(ResultFromWin32(kErrorInvalidHandle));
    return StartRun(*service, name).Run();
}

}  // namespace qor
