#pragma once
// Files of the package as text for the report page: decoded by their byte-order mark and
// escaped for HTML.
#include <cstddef>
#include <string>
#include <string_view>

#include "common/result.h"
#include "platform/ansi_code_page.h"

namespace qor {

// How much of one file the page shows.
inline constexpr std::size_t kPageCutBytes = 1024 * 1024;

// FF FE: UTF-16LE (the tool's dumps, the registry editor's Unicode exports); EF BB BF: UTF-8;
// anything else: the ANSI code page, byte by byte as Latin-1 when `ansi` fails. The mark
// itself is dropped; unpaired surrogates stay for the escaper.
using AnsiDecoder = ResultCode (*)(std::string_view bytes, std::wstring& out);
std::wstring DecodeFileText(std::string_view bytes, AnsiDecoder ansi = FromAnsiCodePage);

// The length of the first at most `limit` bytes that decode without splitting a character
// of the encoding that the mark names; without a mark, a two-byte character of the ANSI code
// page, whose lead bytes `leadBytes` gives.
std::size_t TextCutPoint(std::string_view bytes, std::size_t limit,
                         const LeadByteTable& leadBytes = AnsiLeadBytes());

// UTF-8 for HTML content and quoted attributes: & < > " ' as character references; control
// characters other than tab, line feed and carriage return, the bidirectional embeddings,
// overrides and isolates (which would reorder the page's text), and invalid UTF-16, as U+FFFD.
std::string EscapeHtml(std::wstring_view text);

// The bytes of a file as the page shows them: decoded, then escaped.
std::string FileBytesAsHtml(std::string_view bytes);

}  // namespace qor
