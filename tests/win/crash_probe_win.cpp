// crash_probe MODE: links the crash handling and fails on purpose, as MODE says.
//   thread-av    access violation on a second thread that asked for no translation
//   throw        a QorException nothing catches
//   throw-hw     a typed access-violation exception nothing catches
//   param        an invalid parameter to the runtime (the handler itself where the runtime
//                cannot take one)
//   heap         a non-continuable heap corruption
//   heap-twice   two of them, the process surviving both; exits 0
//   filter-fault a typed exception nothing catches whose stored pointers cannot be read: the
//                crash filter itself faults while it handles the first
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "common/error_record.h"
#include "crash/crash_handling_win.h"
#include "crash/hw_exception.h"
#include "platform/process_launch.h"

namespace {

// An address nothing is mapped at, hidden from the optimiser.
volatile std::uintptr_t g_badAddress = 0x10;

DWORD WINAPI WriteThroughBadPointer(void*) {
    *reinterpret_cast<volatile int*>(g_badAddress) = 1;
    return 0;
}

void ThreadAccessViolation() {
    HANDLE thread = CreateThread(nullptr, 0, WriteThroughBadPointer, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
}

[[noreturn]] void ThrowTypedAccessViolation() {
    static CONTEXT context{};
    RtlCaptureContext(&context);
    static EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.NumberParameters = 2;
    record.ExceptionInformation[1] = 0x1234;
    static EXCEPTION_POINTERS pointers{&record, &context};
    qor::HwExceptionFacts facts{record.ExceptionCode, &pointers, 0x1234, 0};
    qor::ThrowTranslatedHwException(qor::HwTranslator::Full, facts);
    std::abort();
}

// Its pointers are asked for inside the crash filter; the answer is a fault.
class FaultingHwException final : public qor::QorBasSyncThreadHwException {
public:
    FaultingHwException() noexcept : QorBasSyncThreadHwException(1, EXCEPTION_ACCESS_VIOLATION, nullptr) {}
    void* ExceptionPointers() const noexcept override {
        *reinterpret_cast<volatile int*>(g_badAddress) = 1;
        return nullptr;
    }
};

void InvalidParameter() {
    using CopyFn = int(__cdecl*)(wchar_t*, std::size_t, const wchar_t*);
    const auto copy = reinterpret_cast<CopyFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "wcscpy_s")));
    if (qor::InstalledCrashHandling().invalidParameterHandlerInstalled && copy) {
        copy(nullptr, 1, L"x");
    } else {
        qor::InvalidParameterHandler(L"dest", L"wcscpy_s", nullptr, 0, 0);
    }
}

void RaiseHeapCorruption() {
    RaiseException(STATUS_HEAP_CORRUPTION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

// Registered after the watcher: resumes past the raise, as a heap that survives would.
LONG NTAPI SurviveHeapCorruption(EXCEPTION_POINTERS* pointers) {
    return pointers->ExceptionRecord->ExceptionCode == STATUS_HEAP_CORRUPTION
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* mode = argc > 1 ? argv[1] : L"";
    qor::HardenSearchPaths();
    qor::PrepareCrashDumpTools();
    if (!std::wcscmp(mode, L"thread-av")) ThreadAccessViolation();
    if (!std::wcscmp(mode, L"throw")) throw qor::QorException(qor::rc::NotSupported);
    if (!std::wcscmp(mode, L"throw-hw")) ThrowTypedAccessViolation();
    if (!std::wcscmp(mode, L"param")) InvalidParameter();
    if (!std::wcscmp(mode, L"heap")) RaiseHeapCorruption();
    if (!std::wcscmp(mode, L"filter-fault")) throw FaultingHwException();
    if (!std::wcscmp(mode, L"heap-twice")) {
        AddVectoredExceptionHandler(0, SurviveHeapCorruption);
        RaiseHeapCorruption();
        RaiseHeapCorruption();
        return 0;
    }
    std::fwprintf(stderr, L"crash_probe: nothing happened for mode \"%ls\"\n", mode);
    return 2;
}
