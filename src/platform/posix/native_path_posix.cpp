#include "platform/posix/native_path_posix.h"

#include <cerrno>

namespace qor::fs {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string NativePath(const std::wstring& path) {
    std::string out;
    out.reserve(path.size());
    for (const wchar_t w : path) {
        const auto c = static_cast<char32_t>(w);
        AppendUtf8(out, c == U'\\' ? U'/' : (c > 0x10FFFF ? 0xFFFD : c));
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
