#pragma once
// Starting a service and waiting until it runs, over the few service calls it needs.
#include <cstdint>
#include <memory>
#include <string>

#include "common/error_record.h"
#include "common/result.h"

namespace qor {

namespace rc {
inline constexpr ResultCode ServiceStartStalled = SuiteError(0x32);
inline constexpr ResultCode ServiceDatabaseLocked = SuiteError(0x34);
}  // namespace rc

// Service states as the service manager reports them.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServicePaused = 7;

struct ServiceStatus {
    std::uint32_t state = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;  // milliseconds
};

struct ServiceLockStatus {
    bool locked = false;
    std::wstring owner;
    std::uint32_t durationSeconds = 0;
};

// One opened service and the clock; each call converts its own OS error.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    [[nodiscard]] virtual ResultCode QueryStatus(ServiceStatus& status) noexcept = 0;
    [[nodiscard]] virtual ResultCode Start() noexcept = 0;  // no arguments
    [[nodiscard]] virtual ResultCode QueryLockStatus(ServiceLockStatus& lock) noexcept = 0;
    virtual std::uint32_t TickCount() noexcept = 0;  // a wrapping millisecond clock
    virtual void Sleep(std::uint32_t milliseconds) noexcept = 0;
};

// Opens a service by name with the rights to query its status and start it.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    [[nodiscard]] virtual ResultCode Open(const std::wstring& name,
                                          std::unique_ptr<ServiceControl>& service) noexcept = 0;
};

// Starts the service unless it runs already and waits until it runs or clearly fails: a
// start pending without progress gives ServiceStartStalled, a database locked for too long
// ServiceDatabaseLocked (both with named values), anything else the converted OS error.
[[nodiscard]] Result StartServiceAndWait(ServiceManager& manager, const std::wstring& name);

}  // namespace qor
