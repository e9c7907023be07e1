#include "platform/win/private_directory_win.h"

#include <windows.h>
#include <sddl.h>
#include <winternl.h>

#include <memory>
#include <new>
#include <vector>

#include "platform/fs.h"
#include "platform/win/nt_path_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor::fs {
namespace {

struct LocalFreer {
    void operator()(void* memory) const noexcept { LocalFree(memory); }
};

ResultCode TokenUserSid(std::wstring& out) {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return ResultFromWin32(GetLastError());
    }
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return ResultFromWin32(GetLastError());
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) {
        return ResultFromWin32(GetLastError());
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return ResultFromWin32(GetLastError());
    }
    const std::unique_ptr<wchar_t, LocalFreer> owned(text);
    out = text;
    return rc::Ok;
}

}  // namespace

ResultCode PrivateDirectorySecurity(std::wstring& sddl) {
    std::wstring user;
    if (const ResultCode code = TokenUserSid(user); Failed(code)) return code;
    sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;" + user + L")";
    return rc::Ok;
}

// Created with its descriptor in one call that fails when the name exists; the handle comes
// from that call, so nothing can be put in its place before it is held.
ResultCode MakePrivateDirectory(const std::wstring& path, File& held) noexcept {
    try {
        std::wstring sddl;
        if (const ResultCode code = PrivateDirectorySecurity(sddl); Failed(code)) return code;
        void* descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            return ResultFromWin32(GetLastError());
        }
        const std::unique_ptr<void, LocalFreer> owned(descriptor);
        NtPath name;
        if (!name.From(path)) return ResultFromWin32(ERROR_BAD_PATHNAME);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, name.Get(), OBJ_CASE_INSENSITIVE, nullptr,
                                   descriptor);
        IO_STATUS_BLOCK io{};
        HANDLE handle = nullptr;
        const NTSTATUS status = NtCreateFile(
            &handle, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
            &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
            FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
        if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
        held = File(reinterpret_cast<std::intptr_t>(handle));
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor::fs
