// The native file open: the path made a native one, then NtCreateFile.
#include <windows.h>
#include <winternl.h>

#include "platform/fs.h"

namespace qor::fs {
namespace {

// Frees the native path that the conversion allocated.
class NativePath {
public:
    NativePath() noexcept = default;
    NativePath(const NativePath&) = delete;
    NativePath& operator=(const NativePath&) = delete;
    ~NativePath() {
        if (name_.Buffer != nullptr) RtlFreeUnicodeString(&name_);
    }
    UNICODE_STRING* Put() noexcept { return &name_; }

private:
    UNICODE_STRING name_{};
};

}  // namespace

ResultCode OpenNativeForReading(const std::wstring& path, File& out) noexcept {
    NativePath name;
    if (!RtlDosPathNameToNtPathName_U(path.c_str(), name.Put(), nullptr, nullptr)) {
        return ResultFromWin32(ERROR_BAD_PATHNAME);
    }
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, name.Put(), OBJ_CASE_INSENSITIVE, nullptr, nullptr);
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
