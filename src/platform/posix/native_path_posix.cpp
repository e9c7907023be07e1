#include "platform/posix/native_path_posix.h"

#include <cerrno>

#include "common/text_encoding.h"

namespace qor::fs {

std::string NativePath(const std::wstring& path) {
    std::string out = ToUtf8(path);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

std::wstring FromNative(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        char32_t c = extra <= 0 ? lead : lead & (0x3F >> extra);
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        out += valid ? static_cast<wchar_t>(c) : L'\uFFFD';
        i += valid ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
}

ResultCode ResultFromErrno(int error) noexcept {
    switch (error) {
        case 0: return rc::Ok;
        case ENOENT: return ResultFromWin32(2);    // file not found
        case ENOTDIR: return ResultFromWin32(3);   // path not found
        case EACCES:
        case EPERM:
        case EISDIR: return ResultFromWin32(5);    // access denied
        case EEXIST:
        case ENOTEMPTY: return ResultFromWin32(183);  // already exists
        case ENOSPC: return ResultFromWin32(112);  // disk full
        case EBUSY: return ResultFromWin32(32);    // sharing violation
        case ENOMEM: return ResultFromWin32(14);   // out of memory
        case ENAMETOOLONG: return ResultFromWin32(206);
        case EIO: return ResultFromWin32(29);      // write fault
        default: return ResultFromWin32(87);       // invalid parameter
    }
}

}  // namespace qor::fs
