#pragma once
// Files of the package as text for the report page: decoded by their byte-order mark and
// escaped for HTML.
#include <cstddef>
#include <string>
#include <string_view>

namespace qor {

// How much of one file the page shows.
inline constexpr std::size_t kPageCutBytes = 1024 * 1024;

// FF FE: UTF-16LE (the tool's dumps, the registry editor's Unicode exports); EF BB BF: UTF-8;
// anything else: the ANSI code page. The mark itself is dropped; unpaired surrogates stay
// for the escaper.
std::wstring DecodeFileText(std::string_view bytes);

// The length of the first at most `limit` bytes that decode without splitting a character
// of the encoding that the mark names.
std::size_t TextCutPoint(std::string_view bytes, std::size_t limit);

// UTF-8 for HTML content and quoted attributes: & < > " ' as character references; control
// characters other than tab, line feed and carriage return, and invalid UTF-16, as U+FFFD.
std::string EscapeHtml(std::wstring_view text);

// The bytes of a file as the page shows them: decoded, then escaped.
std::string FileBytesAsHtml(std::string_view bytes);

}  // namespace qor
