#include "crash/crash_handling_win.h"

#include <exception>

#include "crash/crash_command.h"
#include "crash/crash_launch_win.h"
#include "crash/hw_exception.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/unique_handle_win.h"

extern "C" {
PVOID NTAPI RtlAddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);
ULONG NTAPI RtlRemoveVectoredExceptionHandler(PVOID handle);
}

namespace qor {
namespace {

// The code GCC's runtime raises for its own C++ throw on 64-bit Windows.
constexpr DWORD kGccThrowCode = 0x20474343;

using InvalidParameterFn = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*,
                                          unsigned int, std::uintptr_t);
using SetInvalidParameterHandlerFn = InvalidParameterFn(__cdecl*)(InvalidParameterFn);
using SetFilterFn = LPTOP_LEVEL_EXCEPTION_FILTER(WINAPI*)(LPTOP_LEVEL_EXCEPTION_FILTER);

// Process-wide; written by the installation only.
CrashSettings g_settings;
CrashHandlingState g_state;
SetFilterFn g_setFilter = nullptr;
InvalidParameterFn g_invokeWatson = nullptr;
PVOID g_watcher = nullptr;
volatile LONG g_heapLaunched = 0;
// The thread handling the first fault in CrashFilter (0: none yet), and that fault's code.
volatile LONG g_filterThread = 0;
DWORD g_firstFaultCode = 0;

// Marks a platform C++ exception raised for an uncaught hardware exception object.
const char g_hwThrowInfo = 0;

std::uint32_t CurrentProcessId() noexcept {
    static const DWORD id = GetCurrentProcessId();
    return id;
}

CrashDumpRequest RequestFor(EXCEPTION_POINTERS* pointers, HANDLE event, bool native) noexcept {
    CrashDumpRequest request;
    request.processId = CurrentProcessId();
    request.threadId = native ? NativeCurrentThreadId() : GetCurrentThreadId();
    request.exceptionPointers = reinterpret_cast<std::uintptr_t>(pointers);
    request.event = reinterpret_cast<std::uintptr_t>(event);
    request.flavour = g_settings.flavour;
    request.quiet = g_settings.quiet;
    request.native = native;
    return request;
}

// A typed hardware exception carries the pointers of the fault itself.
EXCEPTION_POINTERS* FaultPointers(EXCEPTION_POINTERS* given) noexcept {
    const EXCEPTION_RECORD* record = given ? given->ExceptionRecord : nullptr;
    if (!record) return given;
    RaisedException raised;
    raised.code = record->ExceptionCode;
    raised.wordCount = record->NumberParameters;
    raised.words = reinterpret_cast<const std::uintptr_t*>(record->ExceptionInformation);
    const void* object = ThrownObjectWithInfo(raised, &g_hwThrowInfo);
    if (!object) return given;
    void* stored = static_cast<const QorBasSyncThreadHwException*>(object)->ExceptionPointers();
    return stored ? static_cast<EXCEPTION_POINTERS*>(stored) : given;
}

// An uncaught C++ exception, on either build, as the platform's own C++ exception: the stack
// is still that of the throw, since nothing was unwound.
[[noreturn]] void OnTerminate() noexcept {
    ULONG_PTR words[3] = {kPlatformCxxMagic, 0, 0};
    const std::exception_ptr current = std::current_exception();
    if (current) {
        try {
            std::rethrow_exception(current);
        } catch (const QorBasSyncThreadHwException& hw) {
            words[1] = reinterpret_cast<ULONG_PTR>(&hw);
            words[2] = reinterpret_cast<ULONG_PTR>(&g_hwThrowInfo);
        } catch (...) {
        }
    }
    RaiseException(kPlatformCxxExceptionCode, EXCEPTION_NONCONTINUABLE, 3, words);
    TerminateProcess(GetCurrentProcess(), kPlatformCxxExceptionCode);
    for (;;) {
    }
}

void InstallFilter() noexcept {
    g_setFilter = LookupExport<SetFilterFn>(L"kernel32.dll", "SetUnhandledExceptionFilter");
    if (!g_setFilter) return;
    g_setFilter(CrashFilter);
    g_state.filterInstalled = true;
}

void InstallWatcher() noexcept {
    if (g_watcher) RtlRemoveVectoredExceptionHandler(g_watcher);
    g_watcher = RtlAddVectoredExceptionHandler(1, HeapCorruptionWatcher);
    g_state.watcherInstalled = g_watcher != nullptr;
}

// The system's msvcrt.dll has the switch from Vista on; the import library's stand-in for it
// only stores the handler, so it is looked up in the DLL itself.
void InstallInvalidParameterHandler() noexcept {
    const HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
    g_invokeWatson = LookupExport<InvalidParameterFn>(runtime, "_invoke_watson");
    const auto set = LookupExport<SetInvalidParameterHandlerFn>(runtime,
                                                                "_set_invalid_parameter_handler");
    if (!set) return;
    set(InvalidParameterHandler);
    g_state.invalidParameterHandlerInstalled = true;
}

bool InstallCrashHandling() noexcept {
    g_settings = CrashSettings{};
    CurrentProcessId();
    InstallFilter();
    InstallWatcher();
    InstallInvalidParameterHandler();
    std::set_terminate(OnTerminate);
    return true;
}

// Before the entry point, and before anything that could crash.
const bool g_installed = InstallCrashHandling();

}  // namespace

void PrepareCrashDumpTools() noexcept {
    g_state.nativeLaunchPrepared = PrepareDumpToolLaunch(g_settings);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) noexcept {
    // Let GCC's runtime see its throw was not caught: it calls the terminate handler, which
    // comes back here as a platform C++ exception, as on the 32-bit build.
    if (pointers && pointers->ExceptionRecord &&
        pointers->ExceptionRecord->ExceptionCode == kGccThrowCode &&
        !(pointers->ExceptionRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE)) {
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    // One handling per process. A fault inside it (it runs after heap corruption, say) comes
    // back here on the same thread: end with the first fault's code, as the system would have.
    // Any other thread goes on to the system's handling at once.
    const auto self = static_cast<LONG>(GetCurrentThreadId());
    const LONG owner = InterlockedCompareExchange(&g_filterThread, self, 0);
    if (owner == self) TerminateProcess(GetCurrentProcess(), g_firstFaultCode);
    if (owner != 0) return EXCEPTION_CONTINUE_SEARCH;
    g_firstFaultCode = pointers && pointers->ExceptionRecord
                           ? pointers->ExceptionRecord->ExceptionCode
                           : static_cast<DWORD>(EXCEPTION_NONCONTINUABLE_EXCEPTION);

    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const KernelHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    LaunchDumpTool(RequestFor(FaultPointers(pointers), event.Get(), false), g_settings);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG NTAPI HeapCorruptionWatcher(EXCEPTION_POINTERS* pointers) noexcept {
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    if (!record || record->ExceptionCode != STATUS_HEAP_CORRUPTION ||
        !(record->ExceptionFlags & EXCEPTION_NONCONTINUABLE)) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (InterlockedExchange(&g_heapLaunched, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;
    const HANDLE event = CreateNativeCrashEvent();
    LaunchNativeDumpTool(RequestFor(pointers, event, true), g_settings);
    CloseNativeHandle(event);
    return EXCEPTION_CONTINUE_SEARCH;
}

void __cdecl InvalidParameterHandler(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                                     std::uintptr_t) {
    const LPTOP_LEVEL_EXCEPTION_FILTER remembered = g_setFilter ? g_setFilter(nullptr) : nullptr;
    // The filter sees this handler's own context.
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = STATUS_INVALID_CRUNTIME_PARAMETER;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#if defined(_WIN64)
    record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
#else
    record.ExceptionAddress = reinterpret_cast<PVOID>(context.Eip);
#endif
    EXCEPTION_POINTERS pointers{&record, &context};
    if (remembered) remembered(&pointers);
    if (g_invokeWatson) g_invokeWatson(nullptr, nullptr, nullptr, 0, 0);
    TerminateProcess(GetCurrentProcess(), STATUS_INVALID_CRUNTIME_PARAMETER);
}

const CrashHandlingState& InstalledCrashHandling() noexcept {
    return g_state;
}

}  // namespace qor
