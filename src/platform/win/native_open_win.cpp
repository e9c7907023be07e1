// The native file open: the path made a native one, then NtCreateFile.
#include <windows.h>
#include <winternl.h>

#include "platform/fs.h"
#include "platform/win/nt_path_win.h"

namespace qor::fs {
ResultCode OpenNativeForReading(const std::wstring& path, File& out) noexcept {
    NtPath name;
    if (!name.From(path)) {
        return ResultFromWin32(ERROR_BAD_PATHNAME);
    }
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, name.Get(), OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        NtCreateFile(&handle, GENERIC_READ | SYNCHRONIZE, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT,
                     nullptr, 0);
    if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
    out = File(reinterpret_cast<std::intptr_t>(handle));
    return rc::Ok;
}

}  // namespace qor::fs
