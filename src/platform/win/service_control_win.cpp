#include "platform/win/service_control_win.h"

#include <windows.h>
#include <winternl.h>

#include <new>
#include <utility>
#include <vector>

#include "platform/win/unique_handle_win.h"

extern "C" NTSTATUS NTAPI ZwDelayExecution(BOOLEAN Alertable, PLARGE_INTEGER DelayInterval);

namespace qor {
namespace {

constexpr DWORD kManagerAccess = SC_MANAGER_CONNECT | SC_MANAGER_QUERY_LOCK_STATUS;
constexpr DWORD kServiceAccess = SERVICE_QUERY_STATUS | SERVICE_START;
constexpr LONGLONG kHundredNsPerMs = 10000;
constexpr int kLockQueryTries = 4;  // the owner's name may grow between calls

// The error of a call that just failed; some fail without setting one (Wine's lock query).
ResultCode LastFailure() noexcept {
    const DWORD error = GetLastError();
    return ResultFromWin32(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

class OpenedService final : public ServiceControl {
public:
    OpenedService(ServiceHandle manager, ServiceHandle service) noexcept
        : manager_(std::move(manager)), service_(std::move(service)) {}

    ResultCode QueryStatus(ServiceStatus& status) noexcept override {
        SERVICE_STATUS raw{};
        if (!QueryServiceStatus(service_.Get(), &raw)) return LastFailure();
        status.state = raw.dwCurrentState;
        status.win32ExitCode = raw.dwWin32ExitCode;
        status.serviceExitCode = raw.dwServiceSpecificExitCode;
        status.checkPoint = raw.dwCheckPoint;
        status.waitHint = raw.dwWaitHint;
        return rc::Ok;
    }

    ResultCode Start() noexcept override {
        SetLastError(ERROR_SUCCESS);
        if (!StartServiceW(service_.Get(), 0, nullptr)) return LastFailure();
        return rc::Ok;
    }

    ResultCode QueryLockStatus(ServiceLockStatus& lock) noexcept override {
        try {
            // 8-byte units keep the structure's pointer aligned.
            std::vector<ULONGLONG> buffer(
                (sizeof(QUERY_SERVICE_LOCK_STATUSW) + 256) / sizeof(ULONGLONG));
            for (int tries = 0; tries < kLockQueryTries; ++tries) {
                const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
                auto* raw = reinterpret_cast<QUERY_SERVICE_LOCK_STATUSW*>(buffer.data());
                DWORD needed = 0;
                SetLastError(ERROR_SUCCESS);
                if (QueryServiceLockStatusW(manager_.Get(), raw, bytes, &needed)) {
                    ServiceLockStatus answer;
                    answer.locked = raw->fIsLocked != FALSE;
                    if (raw->lpLockOwner) answer.owner = raw->lpLockOwner;
                    answer.durationSeconds = raw->dwLockDuration;
                    lock = std::move(answer);
                    return rc::Ok;
                }
                if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= bytes) {
                    return LastFailure();
                }
                buffer.resize((needed + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
            }
            return ResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
    }

    std::uint32_t TickCount() noexcept override { return GetTickCount(); }

    void Sleep(std::uint32_t milliseconds) noexcept override {
        LARGE_INTEGER interval;
        interval.QuadPart = -static_cast<LONGLONG>(milliseconds) * kHundredNsPerMs;  // relative
        ZwDelayExecution(FALSE, &interval);
    }

private:
    ServiceHandle manager_;
    ServiceHandle service_;
};

}  // namespace

ResultCode LocalServiceManager::Open(const std::wstring& name,
                                     std::unique_ptr<ServiceControl>& service) noexcept {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, kManagerAccess));
    if (!manager) return LastFailure();
    ServiceHandle opened(OpenServiceW(manager.Get(), name.c_str(), kServiceAccess));
    if (!opened) return LastFailure();
    auto* control = new (std::nothrow) OpenedService(std::move(manager), std::move(opened));
    if (!control) return rc::OutOfMemory;
    service.reset(control);
    return rc::Ok;
}

Result StartServiceAndWait(const std::wstring& name) {
    LocalServiceManager manager;
    return StartServiceAndWait(manager, name);
}

}  // namespace qor
