#include "crash/crash_launch_win.h"

#include <winternl.h>

#include <cstring>
#include <string>

#include "common/path_join.h"
#include "product/install_sources_win.h"
#include "platform/win/unique_handle_win.h"

namespace {

struct NativeProcessInfo {
    ULONG Length;
    HANDLE Process;
    HANDLE Thread;
    CLIENT_ID ClientId;
    unsigned char ImageInformation[64];  // SECTION_IMAGE_INFORMATION, not read
};

struct NativeThreadBasics {
    NTSTATUS ExitStatus;
    PVOID TebBaseAddress;
    CLIENT_ID ClientId;
    ULONG_PTR AffinityMask;
    LONG Priority;
    LONG BasePriority;
};

constexpr int kNotificationEvent = 0;
constexpr int kWaitAny = 1;

}  // namespace

extern "C" {
NTSTATUS NTAPI RtlCreateProcessParameters(PRTL_USER_PROCESS_PARAMETERS* parameters,
                                          PUNICODE_STRING imagePath, PUNICODE_STRING dllPath,
                                          PUNICODE_STRING currentDirectory,
                                          PUNICODE_STRING commandLine, PVOID environment,
                                          PUNICODE_STRING windowTitle,
                                          PUNICODE_STRING desktop, PUNICODE_STRING shellInfo,
                                          PUNICODE_STRING runtimeData);
PRTL_USER_PROCESS_PARAMETERS NTAPI RtlNormalizeProcessParams(PRTL_USER_PROCESS_PARAMETERS);
NTSTATUS NTAPI RtlCreateUserProcess(PUNICODE_STRING imagePath, ULONG attributes,
                                    PRTL_USER_PROCESS_PARAMETERS parameters,
                                    PSECURITY_DESCRIPTOR processSecurity,
                                    PSECURITY_DESCRIPTOR threadSecurity, HANDLE parent,
                                    BOOLEAN inheritHandles, HANDLE debugPort,
                                    HANDLE exceptionPort, NativeProcessInfo* info);
NTSTATUS NTAPI NtCreateEvent(PHANDLE event, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                             int type, BOOLEAN initialState);
NTSTATUS NTAPI NtResumeThread(HANDLE thread, PULONG suspendCount);
NTSTATUS NTAPI NtWaitForMultipleObjects(ULONG count, const HANDLE* handles, int waitType,
                                        BOOLEAN alertable, PLARGE_INTEGER timeout);
}

namespace qor {
namespace {

// Filled once by PrepareDumpToolLaunch and only read afterwards.
struct PreparedLaunch {
    std::wstring application;  // the Win32 tool, by full path
    std::wstring systemFolder;  // the tools' current folder
    UNICODE_STRING systemFolderString{};
    std::wstring nativeImage;  // "\??\" and the native tool's full path
    UNICODE_STRING nativeImageString{};
    PRTL_USER_PROCESS_PARAMETERS nativeParameters = nullptr;
    wchar_t nativeCommand[kCrashCommandChars] = {};
};

// Never destroyed: a crash while the process ends still finds it.
PreparedLaunch& Prepared() noexcept {
    static PreparedLaunch& prepared = *new PreparedLaunch;
    return prepared;
}

bool PrepareNativeParameters(PreparedLaunch& p) noexcept {
    const std::size_t imageBytes = p.nativeImage.size() * sizeof(wchar_t);
    if (imageBytes > 0xFFFC) return false;
    p.nativeImageString.Buffer = p.nativeImage.data();
    p.nativeImageString.Length = static_cast<USHORT>(imageBytes);
    p.nativeImageString.MaximumLength = static_cast<USHORT>(imageBytes + sizeof(wchar_t));
    // Room for the longest command line, filled in on the crash.
    static wchar_t placeholder[kCrashCommandChars];
    std::wmemset(placeholder, L' ', kCrashCommandChars);
    UNICODE_STRING command{};
    command.Buffer = placeholder;
    command.MaximumLength = static_cast<USHORT>(sizeof(placeholder));
    command.Length = static_cast<USHORT>(sizeof(placeholder) - sizeof(wchar_t));
    const std::size_t folderBytes = p.systemFolder.size() * sizeof(wchar_t);
    p.systemFolderString.Buffer = p.systemFolder.data();
    p.systemFolderString.Length = static_cast<USHORT>(folderBytes);
    p.systemFolderString.MaximumLength = static_cast<USHORT>(folderBytes + sizeof(wchar_t));
    return NT_SUCCESS(RtlCreateProcessParameters(&p.nativeParameters, &p.nativeImageString,
                                                 nullptr, &p.systemFolderString, &command,
                                                 nullptr, nullptr, nullptr, nullptr, nullptr));
}

void WaitForToolOrEvent(HANDLE process, HANDLE event) noexcept {
    const HANDLE handles[2] = {process, event};
    WaitForMultipleObjects(2, handles, FALSE, kDumpToolWaitMs);
}

}  // namespace

bool PrepareDumpToolLaunch(const CrashSettings& settings) noexcept {
    try {
        PreparedLaunch& p = Prepared();
        // The tools beside the program only where others cannot plant one: no tool otherwise.
        const bool ownPath = settings.toolPath && *settings.toolPath;
        const std::wstring folder = ownPath ? std::wstring() : StartupInstallation().TrustedOwnFolder();
        if (!ownPath && folder.empty()) return false;
        wchar_t system[MAX_PATH];
        const UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return false;
        p.systemFolder.assign(system, length);
        p.application = ownPath ? settings.toolPath : JoinPath(folder, kDumpToolFile);
        p.nativeImage = L"\\??\\" + (ownPath ? std::wstring(settings.toolPath)
                                              : JoinPath(folder, kNativeDumpToolFile));
        return PrepareNativeParameters(p);
    } catch (...) {
        return false;
    }
}

void LaunchDumpTool(const CrashDumpRequest& request, const CrashSettings& settings) noexcept {
    wchar_t command[kCrashCommandChars];
    const PreparedLaunch& p = Prepared();
    if (p.application.empty() || !FormatCrashDumpCommand(request, settings, sizeof(void*), command)) {
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = const_cast<wchar_t*>(L"Winsta0\\Default");
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    // By full path: never a "qordumpx.exe" from the current directory or the search path.
    if (!CreateProcessW(p.application.c_str(), command, nullptr, nullptr, TRUE,
                        BELOW_NORMAL_PRIORITY_CLASS, nullptr, p.systemFolder.c_str(), &startup,
                        &started)) {
        return;
    }
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    if (request.event) WaitForToolOrEvent(process.Get(), reinterpret_cast<HANDLE>(request.event));
}

void LaunchNativeDumpTool(const CrashDumpRequest& request, const CrashSettings& settings) noexcept {
    PreparedLaunch& p = Prepared();
    if (!p.nativeParameters) return;
    if (!FormatCrashDumpCommand(request, settings, sizeof(void*), p.nativeCommand)) return;
    PRTL_USER_PROCESS_PARAMETERS parameters = RtlNormalizeProcessParams(p.nativeParameters);
    UNICODE_STRING& line = parameters->CommandLine;
    const std::size_t bytes = std::wcslen(p.nativeCommand) * sizeof(wchar_t);
    if (bytes + sizeof(wchar_t) > line.MaximumLength) return;
    std::memcpy(line.Buffer, p.nativeCommand, bytes + sizeof(wchar_t));
    line.Length = static_cast<USHORT>(bytes);

    NativeProcessInfo info{};
    info.Length = sizeof(info);
    if (!NT_SUCCESS(RtlCreateUserProcess(&p.nativeImageString, OBJ_CASE_INSENSITIVE, parameters,
                                         nullptr, nullptr, nullptr, TRUE, nullptr, nullptr,
                                         &info))) {
        return;
    }
    NtResumeThread(info.Thread, nullptr);
    const HANDLE handles[2] = {info.Process, reinterpret_cast<HANDLE>(request.event)};
    LARGE_INTEGER timeout;
    timeout.QuadPart = -static_cast<LONGLONG>(kDumpToolWaitMs) * 10000;
    NtWaitForMultipleObjects(request.event ? 2 : 1, handles, kWaitAny, FALSE, &timeout);
    CloseNativeHandle(info.Thread);
    CloseNativeHandle(info.Process);
}

HANDLE CreateNativeCrashEvent() noexcept {
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof(attributes);
    attributes.Attributes = OBJ_INHERIT;
    HANDLE event = nullptr;
    if (!NT_SUCCESS(NtCreateEvent(&event, EVENT_ALL_ACCESS, &attributes, kNotificationEvent,
                                  FALSE))) {
        return nullptr;
    }
    return event;
}

void CloseNativeHandle(HANDLE handle) noexcept {
    if (handle) NtClose(handle);
}

DWORD NativeCurrentThreadId() noexcept {
    NativeThreadBasics basics{};
    const HANDLE currentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
    if (!NT_SUCCESS(NtQueryInformationThread(currentThread, static_cast<THREADINFOCLASS>(0), &basics,
                                             sizeof(basics), nullptr))) {
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(basics.ClientId.UniqueThread));
}

}  // namespace qor
