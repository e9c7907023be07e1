// The repair's system side: file checks, the native delete, the environment and the suite's
// self-protection module; and the composition of the repair on this computer.
#include "maintenance/inf_repair_win.h"

#include <windows.h>
#include <winternl.h>

#include <new>
#include <string>

#include "common/path_join.h"
#include "maintenance/driver_registry_win.h"
#include "maintenance/inf_repair.h"
#include "maintenance/ndis_process_win.h"
#include "platform/fs.h"
#include "platform/win/library_load_win.h"
#include "platform/win/nt_path_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/registry_key_win.h"
#include "platform/win/unique_handle_win.h"
#include "product/install_sources_win.h"
#include "product/product_constants.h"

extern "C" {
NTSTATUS NTAPI ZwCreateFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess,
                            POBJECT_ATTRIBUTES ObjectAttributes, PIO_STATUS_BLOCK IoStatusBlock,
                            PLARGE_INTEGER AllocationSize, ULONG FileAttributes, ULONG ShareAccess,
                            ULONG CreateDisposition, ULONG CreateOptions, PVOID EaBuffer,
                            ULONG EaLength);
NTSTATUS NTAPI ZwSetInformationFile(HANDLE FileHandle, PIO_STATUS_BLOCK IoStatusBlock,
                                    PVOID FileInformation, ULONG Length,
                                    FILE_INFORMATION_CLASS FileInformationClass);
}

namespace qor {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kFileOpen = 1;                     // FILE_OPEN
constexpr ULONG kNonDirectoryFile = 0x40;          // FILE_NON_DIRECTORY_FILE
constexpr ULONG kOpenForBackupIntent = 0x4000;     // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG kOpenReparsePoint = 0x200000;      // FILE_OPEN_REPARSE_POINT
constexpr auto kFileDispositionInformation = static_cast<FILE_INFORMATION_CLASS>(13);

// The suite's self-protection module in the program directory and its two exports.
constexpr const wchar_t* kSelfProtectionModule = L"qorselfp.dll";
using PermitFn = LONG(WINAPI*)(DWORD processId);

class WinInfRepairSystem final : public InfRepairSystem {
public:
    ResultCode FileAttributes(const std::wstring& path, std::uint32_t& attributes) override {
        return fs::QueryAttributes(path, attributes);
    }

    ResultCode WindowsDirectory(std::wstring& out) override {
        wchar_t windows[MAX_PATH + 1] = {};
        const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
        if (length == 0) return ResultFromWin32(GetLastError());
        if (length > MAX_PATH) return rc::PathNotFound;
        out.assign(windows, length);
        return rc::Ok;
    }

    ResultCode ExpandEnvironment(const std::wstring& text, std::wstring& out) override {
        wchar_t buffer[kDevicePathExpandChars];
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer, kDevicePathExpandChars);
        if (needed == 0) return ResultFromWin32(GetLastError());
        if (needed > kDevicePathExpandChars) return rc::BufferTooSmall;
        out.assign(buffer);
        return rc::Ok;
    }

    ResultCode DeleteFile(const std::wstring& path, bool openReparsePoint) override {
        fs::NtPath name;
        if (!name.From(path)) return ResultFromWin32(ERROR_INVALID_NAME);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, name.Get(), OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        IO_STATUS_BLOCK io{};
        const ULONG options = kNonDirectoryFile | kOpenForBackupIntent |
                              (openReparsePoint ? kOpenReparsePoint : 0);
        KernelHandle file;
        ResultCode code = ResultFromNtStatus(static_cast<std::uint32_t>(
            ZwCreateFile(file.Put(), DELETE, &attributes, &io, nullptr, 0, kShareAll, kFileOpen,
                         options, nullptr, 0)));
        if (Failed(code)) return code;
        BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
        code = ResultFromNtStatus(static_cast<std::uint32_t>(ZwSetInformationFile(
            file.Get(), &io, &deleteFile, sizeof(deleteFile), kFileDispositionInformation)));
        return Failed(code) ? code : rc::Ok;
    }

    // Loads the module from the suite's program directory and asks it for this process.
    ResultCode AcquireDriverChangePermission() override {
        std::wstring directory;
        ResultCode code = ProcessInstallation().LookupProductDirectory(
            product_dir::Program, directory, std::nullopt, ProductGeneration);
        if (Failed(code)) return code;
        const std::wstring path = JoinPath(directory, kSelfProtectionModule);
        LibraryHandle module(LoadLibraryAtPath(path));
        if (!module) return ResultFromWin32(GetLastError());
        const auto allow = LookupExport<PermitFn>(module.Get(), "QorSelfProtectionAllow");
        const auto restore = LookupExport<PermitFn>(module.Get(), "QorSelfProtectionRestore");
        if (!allow || !restore) return ResultFromWin32(ERROR_PROC_NOT_FOUND);
        code = static_cast<ResultCode>(allow(GetCurrentProcessId()));
        if (Failed(code)) return code;
        module_ = std::move(module);
        restore_ = restore;
        return code;
    }

    void ReleaseDriverChangePermission() override {
        if (restore_) static_cast<void>(restore_(GetCurrentProcessId()));
        restore_ = nullptr;
        module_.Reset();
    }

private:
    LibraryHandle module_;
    PermitFn restore_ = nullptr;
};

}  // namespace

ResultCode RepairInfCacheOnThisComputer(Console& console) {
    try {
        WinRegistryReader reader;
        WinDriverRegistry registry;
        WinProgramStarter starter;
        WinInfRepairSystem system;
        InfRepairDependencies deps{console,  GetOsVersionRecord(), ProcessInstallation(), reader,
                                   registry, starter,              system};
        return RepairInfCache(deps);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
