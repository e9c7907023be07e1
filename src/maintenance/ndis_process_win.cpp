#include "maintenance/ndis_process_win.h"

#include <windows.h>
#include <winternl.h>

#include <new>
#include <utility>

#include "platform/win/process_start_win.h"

extern "C" NTSTATUS NTAPI ZwQueryInformationProcess(HANDLE ProcessHandle,
                                                    PROCESSINFOCLASS ProcessInformationClass,
                                                    PVOID ProcessInformation,
                                                    ULONG ProcessInformationLength,
                                                    PULONG ReturnLength);

namespace qor {
namespace {

class WinChildProcess final : public ChildProcess {
public:
    explicit WinChildProcess(KernelHandle process) noexcept : process_(std::move(process)) {}

    ResultCode Wait(bool& ended) noexcept override {
        const HANDLE handles[] = {process_.Get()};
        const DWORD status = WaitForMultipleObjectsEx(1, handles, FALSE, INFINITE, FALSE);
        if (status == WAIT_FAILED) return ResultFromWin32(GetLastError());
        ended = status == WAIT_OBJECT_0;
        return rc::Ok;
    }

    ResultCode QueryExitStatus(std::uint32_t& status) noexcept override {
        PROCESS_BASIC_INFORMATION info{};
        const NTSTATUS queried = ZwQueryInformationProcess(
            process_.Get(), ProcessBasicInformation, &info, sizeof(info), nullptr);
        if (const ResultCode code = ResultFromNtStatus(static_cast<std::uint32_t>(queried));
            Failed(code)) {
            return code;
        }
        status = static_cast<std::uint32_t>(info.ExitStatus);
        return rc::Ok;
    }

private:
    KernelHandle process_;
};

}  // namespace

ResultCode WinProgramStarter::Start(const std::wstring& program, const std::wstring& commandLine,
                                    std::unique_ptr<ChildProcess>& child) noexcept {
    KernelHandle process;
    if (const ResultCode code = LaunchProgram(program, commandLine, process); Failed(code)) {
        return code;
    }
    try {
        child = std::make_unique<WinChildProcess>(std::move(process));
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

}  // namespace qor
