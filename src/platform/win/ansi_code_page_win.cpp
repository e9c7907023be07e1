// The ANSI code page through the system's own conversions.
#include <windows.h>

#include <climits>

#include "platform/ansi_code_page.h"
#include "platform/win/code_page_win.h"

namespace qor {

ResultCode FromCodePage(UINT codePage, std::string_view bytes, std::wstring& out) {
    if (bytes.size() > INT_MAX) return ResultFromWin32(ERROR_BAD_LENGTH);
    if (bytes.empty()) {
        out.clear();
        return rc::Ok;
    }
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return ResultFromWin32(GetLastError());
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), needed) != needed) {
        return ResultFromWin32(GetLastError());
    }
    out = std::move(text);
    return rc::Ok;
}

ResultCode FromAnsiCodePage(std::string_view bytes, std::wstring& out) {
    return FromCodePage(CP_ACP, bytes, out);
}

ResultCode ToCodePage(UINT codePage, std::wstring_view text, std::string& out) {
    if (text.size() > INT_MAX / 2) return ResultFromWin32(ERROR_BAD_LENGTH);
    if (text.empty()) {
        out.clear();
        return rc::Ok;
    }
    const int length = static_cast<int>(text.size());
    const char* fallback = DefaultCharacterFor(codePage);
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, fallback, nullptr);
    if (needed <= 0) return ResultFromWin32(GetLastError());
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), needed, fallback,
                            nullptr) != needed) {
        return ResultFromWin32(GetLastError());
    }
    out = std::move(bytes);
    return rc::Ok;
}

ResultCode ToAnsiCodePage(std::wstring_view text, std::string& out) {
    return ToCodePage(GetACP(), text, out);
}

LeadByteTable LeadBytesOf(UINT codePage) noexcept {
    LeadByteTable table{};
    for (std::size_t byte = 0x80; byte < table.size(); ++byte) {
        table[byte] = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(byte)) != FALSE;
    }
    return table;
}

const LeadByteTable& AnsiLeadBytes() noexcept {
    static const LeadByteTable table = LeadBytesOf(GetACP());
    return table;
}

}  // namespace qor
