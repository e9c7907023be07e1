#include "platform/win/private_directory_win.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <new>
#include <vector>

#include "platform/fs.h"
#include "platform/win/no_follow_win.h"
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

// Created with its descriptor in one call, then held; a link put in its place between the
// two is refused.
ResultCode MakePrivateDirectory(const std::wstring& path, File& held) noexcept {
    try {
        std::wstring sddl;
        if (const ResultCode code = PrivateDirectorySecurity(sddl); Failed(code)) return code;
        SECURITY_ATTRIBUTES security{sizeof(security), nullptr, FALSE};
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                sddl.c_str(), SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
            return ResultFromWin32(GetLastError());
        }
        const std::unique_ptr<void, LocalFreer> descriptor(security.lpSecurityDescriptor);
        if (!CreateDirectoryW(path.c_str(), &security)) return ResultFromWin32(GetLastError());
        FileHandle handle;
        if (const ResultCode code = OpenDirectoryNoFollow(path, handle); Failed(code)) return code;
        held = File(reinterpret_cast<std::intptr_t>(handle.Release()));
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor::fs
