#include "diag/system/process_list_win.h"

#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "diag/system/process_list.h"
#include "platform/win/library_load_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using GetProcessImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

// The process functions of the system folder's psapi.dll, looked up at run time: a static
// import would be answered by a copy beside the program before any code runs.
struct Psapi {
    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    ModuleNameFn moduleFileName = nullptr;
    ModuleNameFn moduleBaseName = nullptr;
    GetProcessImageFileNameFn imageFileName = nullptr;  // optional: XP and later

    bool Complete() const noexcept {
        return enumProcesses && enumProcessModules && moduleFileName && moduleBaseName;
    }
};

// Every query is told the buffer holds this many characters, a terminator beyond.
constexpr DWORD kNameChars = MAX_PATH;
constexpr DWORD kProcessNameNative = 1;  // device-form path

// A name from a call that answers the characters written, 0 on failure.
template <typename Call>
bool NameFrom(std::wstring& out, Call call) noexcept {
    wchar_t buffer[kNameChars + 1] = {};
    const DWORD length = call(buffer);
    if (length == 0 || length >= kNameChars) return false;  // failed or cut short
    out.assign(buffer, length);
    return true;
}

class WinProcessImage final : public ProcessImage {
public:
    WinProcessImage(KernelHandle process, HMODULE module, QueryFullProcessImageNameFn fullName,
                    const Psapi& psapi) noexcept
        : process_(std::move(process)), module_(module), fullName_(fullName), psapi_(psapi) {}

    bool ModuleFileName(std::wstring& out) noexcept override {
        return NameFrom(out, [&](wchar_t* buffer) {
            return psapi_.moduleFileName(process_.Get(), module_, buffer, kNameChars);
        });
    }
    bool ImageFileName(std::wstring& out) noexcept override {
        if (!psapi_.imageFileName) return false;
        return NameFrom(out, [&](wchar_t* buffer) {
            return psapi_.imageFileName(process_.Get(), buffer, kNameChars);
        });
    }
    bool ModuleBaseName(std::wstring& out) noexcept override {
        return NameFrom(out, [&](wchar_t* buffer) {
            return psapi_.moduleBaseName(process_.Get(), module_, buffer, kNameChars);
        });
    }
    bool FullImageName(bool native, std::wstring& out) noexcept override {
        if (!fullName_) return false;
        return NameFrom(out, [&](wchar_t* buffer) -> DWORD {
            DWORD size = kNameChars;
            if (!fullName_(process_.Get(), native ? kProcessNameNative : 0, buffer, &size)) {
                return 0;
            }
            return size;
        });
    }

private:
    KernelHandle process_;
    HMODULE module_;
    QueryFullProcessImageNameFn fullName_;
    Psapi psapi_;
};

// The optional functions are looked up once, for the whole list.
class WinProcessQueries final : public ProcessQueries {
public:
    explicit WinProcessQueries(const OsVersionRecord& os) noexcept {
        const OptionalProcessQueries optional = OptionalProcessQueriesFor(os);
        if (optional.fullImageName) {
            kernel32_.Reset(LoadSystemLibrary(L"kernel32.dll"));
            fullName_ = LookupExport<QueryFullProcessImageNameFn>(kernel32_.Get(),
                                                                  "QueryFullProcessImageNameW");
        }
        library_.Reset(LoadSystemLibrary(L"psapi.dll"));
        if (!library_) return;
        psapi_.enumProcesses = LookupExport<EnumProcessesFn>(library_.Get(), "EnumProcesses");
        psapi_.enumProcessModules =
            LookupExport<EnumProcessModulesFn>(library_.Get(), "EnumProcessModules");
        psapi_.moduleFileName = LookupExport<ModuleNameFn>(library_.Get(), "GetModuleFileNameExW");
        psapi_.moduleBaseName = LookupExport<ModuleNameFn>(library_.Get(), "GetModuleBaseNameW");
        if (optional.imageFileName) {
            psapi_.imageFileName =
                LookupExport<GetProcessImageFileNameFn>(library_.Get(), "GetProcessImageFileNameW");
        }
    }

    ResultCode Enumerate(std::span<std::uint32_t> ids, std::size_t& count) noexcept override {
        static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
        if (!psapi_.Complete()) return ResultFromWin32(ERROR_PROC_NOT_FOUND);
        DWORD bytes = 0;
        if (!psapi_.enumProcesses(reinterpret_cast<DWORD*>(ids.data()),
                           static_cast<DWORD>(ids.size_bytes()), &bytes)) {
            return ResultFromWin32(GetLastError());
        }
        count = bytes / sizeof(DWORD);
        return rc::Ok;
    }

    std::unique_ptr<ProcessImage> Open(std::uint32_t id) noexcept override {
        KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) return nullptr;
        HMODULE first = nullptr;
        DWORD needed = 0;
        if (!psapi_.Complete() ||
            !psapi_.enumProcessModules(process.Get(), &first, sizeof(first), &needed)) {
            return nullptr;
        }
        return std::unique_ptr<ProcessImage>(
            new (std::nothrow) WinProcessImage(std::move(process), first, fullName_, psapi_));
    }

    bool HasImageFileName() const noexcept override { return psapi_.imageFileName != nullptr; }
    bool HasFullImageName() const noexcept override { return fullName_ != nullptr; }

private:
    LibraryHandle kernel32_, library_;
    QueryFullProcessImageNameFn fullName_ = nullptr;
    Psapi psapi_;
};

}  // namespace

ResultCode DumpProcessList(std::wstring& text) noexcept {
    WinProcessQueries system(GetOsVersionRecord());
    return DumpProcessList(system, text);
}

}  // namespace qor
