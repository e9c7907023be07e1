#include "diag/run/run_platform_win.h"

#include <windows.h>

#include <cstdio>

#include "diag/run/step_runner.h"
#include "diag/run/steps_ahead.h"
#include "platform/os_version.h"
#include "platform/system_env.h"
#include "platform/win/proc_address_win.h"

namespace qor {
namespace {

using EnableRedirectionFn = LONG(NTAPI*)(PVOID value, PVOID* previous);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);

bool IsWow64Process() {
    const auto isWow64 = LookupExport<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

std::int64_t FileTimeValue(const FILETIME& time) {
    return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) |
                                     time.dwLowDateTime);
}

// One line; an empty text when the system has none for `error`.
std::wstring SystemErrorText(std::uint32_t error) {
    constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                             FORMAT_MESSAGE_MAX_WIDTH_MASK;
    wchar_t buffer[1024];
    for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        const DWORD length =
            FormatMessageW(kFlags, nullptr, error, language, buffer, ARRAYSIZE(buffer), nullptr);
        if (length != 0) return std::wstring(buffer, length);
    }
    return {};
}

// The local reading is the universal one when the system cannot convert it.
PageClock PageNow() {
    FILETIME universal, local;
    GetSystemTimeAsFileTime(&universal);
    if (!FileTimeToLocalFileTime(&universal, &local)) local = universal;
    return PageClock{FileTimeValue(universal), FileTimeValue(local)};
}

struct TokenCloser {
    HANDLE token;
    ~TokenCloser() {
        const DWORD lastError = GetLastError();
        CloseHandle(token);
        SetLastError(lastError);
    }
};

}  // namespace

ResultCode EnableDebugPrivilege() noexcept {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return ResultFromWin32(GetLastError());
    }
    const TokenCloser closer{token};
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid) ||
        !AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) {
        return MakeResultCode(3, GetLastError());
    }
    return rc::Ok;
}

PageSystem WinPageSystem() { return PageSystem{SystemErrorText, PageNow}; }

std::unique_ptr<FsRedirection> MakeFsRedirection() {
    const OsVersionRecord& os = GetOsVersionRecord();
    const auto enable =
        LookupExport<EnableRedirectionFn>(L"ntdll.dll", "RtlWow64EnableFsRedirectionEx");
    if (!enable || !os.Is64BitSystem() || !os.IsXpOrLater() || !IsWow64Process()) {
        return std::make_unique<FsRedirection>();
    }
    return std::make_unique<FsRedirection>(
        [enable](std::uint64_t value, std::uint64_t& previous) -> ResultCode {
            PVOID old = nullptr;
            const LONG status = enable(reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(value)), &old);
            if (status == 0) previous = reinterpret_cast<ULONG_PTR>(old);
            return ResultFromNtStatus(static_cast<std::uint32_t>(status));
        });
}

std::uint32_t StepDeadlineFromEnvironment() {
    std::wstring seconds;
    if (ReadEnvironmentPath(L"QORFWDIAG_STEP_TIMEOUT", seconds) != rc::Ok) {
        return kDefaultStepDeadlineMs;
    }
    return StepDeadlineFromText(&seconds);
}

unsigned StepsAtOnceFromEnvironment() {
    std::wstring setting;
    const bool set = ReadEnvironmentPath(L"QORFWDIAG_STEPS_AT_ONCE", setting) == rc::Ok;
    return StepsAtOnceFromText(GetOsVersionRecord().numberOfProcessors, set ? &setting : nullptr);
}

void EndProcessWithoutDetach(int exitCode) noexcept {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    for (;;) Sleep(INFINITE);  // the termination does not return to its caller
}

}  // namespace qor
