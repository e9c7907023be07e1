#include "crash/crash_handling_win.h"

#include <exception>

#include "crash/crash_command.h"
#include "crash/crash_launch_win.h"
#include "crash/hw_exception.h"
#include "crash/thrown_type.h"
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
volatile LONG g_firstFaultCode = 0;
// The filter the invalid-parameter handler took down, for its guarded fault.
LPTOP_LEVEL_EXCEPTION_FILTER g_guardedFilter = nullptr;

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

// This process's memory, read without faulting.
class OwnMemory final : public MemoryReader {
public:
    bool Read(std::uintptr_t address, void* out, std::size_t size) const noexcept override {
        SIZE_T read = 0;
        return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), out,
                                 size, &read) &&
               read == size;
    }
};

// A typed hardware exception carries the pointers of the fault itself: one of this program's
// own, or one thrown by another module's compiler, found by its class name. That one's
// fields are read, not its code called: its table is laid out by another compiler.
EXCEPTION_POINTERS* FaultPointers(EXCEPTION_POINTERS* given) noexcept {
    const EXCEPTION_RECORD* record = given ? given->ExceptionRecord : nullptr;
    if (!record) return given;
    RaisedException raised;
    raised.code = record->ExceptionCode;
    raised.wordCount = record->NumberParameters;
    raised.words = reinterpret_cast<const std::uintptr_t*>(record->ExceptionInformation);
    void* stored = nullptr;
    if (const void* object = ThrownObjectWithInfo(raised, &g_hwThrowInfo)) {
        stored = static_cast<const QorBasSyncThreadHwException*>(object)->ExceptionPointers();
    } else {
        const OwnMemory memory;
        const std::uintptr_t part =
            ThrownClassObject(raised, sizeof(void*), kHwExceptionTypeName, memory);
        if (part) {
            stored = reinterpret_cast<void*>(StoredExceptionPointers(part, sizeof(void*), memory));
        }
    }
    return stored ? static_cast<EXCEPTION_POINTERS*>(stored) : given;
}

// The guard's filter: the fault reaches the filter the invalid-parameter handler took down,
// with the fault's own record and context; then the process ends through the runtime.
[[noreturn]] void EndAfterGuardedFault(EXCEPTION_POINTERS* pointers) noexcept {
    if (g_guardedFilter) g_guardedFilter(pointers);
    if (g_invokeWatson) g_invokeWatson(nullptr, nullptr, nullptr, 0, 0);
    TerminateProcess(GetCurrentProcess(), STATUS_INVALID_CRUNTIME_PARAMETER);
    for (;;) {
    }
}

}  // namespace
}  // namespace qor

// A write to address 0 inside a guarded block (GCC has no __try): on x86-64 a scope of
// __C_specific_handler whose filter is qor_guarded_fault_filter, on x86 an exception
// registration on the thread's chain. Neither returns from the fault.
#if defined(__x86_64__)
extern "C" LONG qor_guarded_fault_filter(EXCEPTION_POINTERS* pointers, void*) noexcept {
    qor::EndAfterGuardedFault(pointers);
}

namespace qor {
namespace {

// Only the assembly: a call would give the function a handler of GCC's own. In .text, where
// the assembly goes back to after the handler's data.
__attribute__((noinline, section(".text"))) void ProvokeGuardedAccessViolation() noexcept {
    asm volatile(
        ".Lqor_guard_start%=:\n\t"
        "movl $0, 0\n\t"
        "nop\n"
        ".Lqor_guard_end%=:\n\t"
        "nop\n\t"
        ".seh_handler __C_specific_handler, @except\n\t"
        ".seh_handlerdata\n\t"
        ".long 1\n\t"
        ".rva .Lqor_guard_start%=, .Lqor_guard_end%=\n\t"  // the scope
        ".rva qor_guarded_fault_filter, .Lqor_guard_end%=\n\t"  // its filter and target
        ".text\n" ::: "memory");
}
#else
extern "C" EXCEPTION_DISPOSITION __cdecl qor_guarded_fault_handler(EXCEPTION_RECORD* record, void*,
                                                                  CONTEXT* context, void*) {
    EXCEPTION_POINTERS pointers{record, context};
    qor::EndAfterGuardedFault(&pointers);
}

namespace qor {
namespace {

__attribute__((noinline)) void ProvokeGuardedAccessViolation() noexcept {
    asm volatile(
        "pushl %0\n\t"
        "pushl %%fs:0\n\t"
        "movl %%esp, %%fs:0\n\t"
        "movl $0, 0\n\t"
        "movl (%%esp), %%eax\n\t"
        "movl %%eax, %%fs:0\n\t"
        "addl $8, %%esp\n"
        : : "r"(&qor_guarded_fault_handler) : "eax", "memory");
}
#endif

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
    // Any other thread waits for good: the system's handling would end the process before
    // the first fault's dump is written, and the end of the first handling takes it away.
    // The code is stored before the thread: a fault in between ends with it, never with 0.
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    const DWORD given = record ? record->ExceptionCode : 0;
    const auto code = static_cast<LONG>(given ? given : EXCEPTION_NONCONTINUABLE_EXCEPTION);
    InterlockedCompareExchange(&g_firstFaultCode, code, 0);
    const auto self = static_cast<LONG>(GetCurrentThreadId());
    const LONG owner = InterlockedCompareExchange(&g_filterThread, self, 0);
    if (owner == self) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_firstFaultCode));
    if (owner != 0) {
        for (;;) Sleep(INFINITE);
    }
    InterlockedExchange(&g_firstFaultCode, code);  // its own, should another thread's be there

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
    g_guardedFilter = g_setFilter ? g_setFilter(nullptr) : nullptr;
    ProvokeGuardedAccessViolation();
    EndAfterGuardedFault(nullptr);  // reached only if the write did not fault
}

const CrashHandlingState& InstalledCrashHandling() noexcept {
    return g_state;
}

}  // namespace qor
