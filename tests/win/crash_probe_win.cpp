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
//   foreign-hw   an access-violation exception object raised as another compiler's C++ throw
//                would raise it, its class known only by the names in the throw information
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "common/error_record.h"
#include "crash/crash_command.h"
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

// What another compiler leaves for a throw of its access-violation class: the object (table
// pointer, kind, code, pointers, data and instruction address), a type descriptor and a
// catchable type for the class and for its base, and the throw information. The 32-bit
// fields hold addresses on x86, offsets from the image base on x86-64.
struct ForeignObject { const void* table; std::uint32_t kind, code; void* pointers; std::uintptr_t data, instruction; };
struct ForeignDescriptor { const void* table; void* spare; char name[56]; };
struct ForeignCatchable { std::uint32_t properties; std::int32_t descriptor, mdisp, pdisp, vdisp, size, copy; };
struct ForeignCatchables { std::int32_t count; std::int32_t types[2]; };
struct ForeignThrowInfo { std::uint32_t attributes; std::int32_t unwind, forward, catchables; };

ForeignDescriptor g_derivedName{nullptr, nullptr, ".?AVQorBasSyncThreadAccessViolationHwException@@"};
ForeignDescriptor g_baseName{nullptr, nullptr, ".?AVQorBasSyncThreadHwException@@"};
ForeignCatchable g_derived, g_base;
ForeignCatchables g_catchables;
ForeignThrowInfo g_throwInfo;

[[noreturn]] void RaiseForeignAccessViolation() {
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    const auto field = [base](const void* place) {
        const auto at = reinterpret_cast<std::uintptr_t>(place);
        return static_cast<std::int32_t>(sizeof(void*) == 8 ? at - base : at);
    };
    g_derived = {0, field(&g_derivedName), 0, -1, 0, sizeof(ForeignObject), 0};
    g_base = {0, field(&g_baseName), 0, -1, 0, sizeof(ForeignObject), 0};
    g_catchables = {2, {field(&g_derived), field(&g_base)}};
    g_throwInfo = {0, 0, 0, field(&g_catchables)};

    static CONTEXT context{};
    RtlCaptureContext(&context);
    static EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    static EXCEPTION_POINTERS pointers{&record, &context};
    static ForeignObject object{nullptr, 1, EXCEPTION_ACCESS_VIOLATION, &pointers, 0x1234, 0};
    const ULONG_PTR words[4] = {qor::kPlatformCxxMagic, reinterpret_cast<ULONG_PTR>(&object),
                                reinterpret_cast<ULONG_PTR>(&g_throwInfo), base};
    RaiseException(qor::kPlatformCxxExceptionCode, EXCEPTION_NONCONTINUABLE,
                   sizeof(void*) == 8 ? 4 : 3, words);
    std::abort();
}

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
    if (!std::wcscmp(mode, L"foreign-hw")) RaiseForeignAccessViolation();
    if (!std::wcscmp(mode, L"heap-twice")) {
        AddVectoredExceptionHandler(0, SurviveHeapCorruption);
        RaiseHeapCorruption();
        RaiseHeapCorruption();
        return 0;
    }
    std::fwprintf(stderr, L"crash_probe: nothing happened for mode \"%ls\"\n", mode);
    return 2;
}
