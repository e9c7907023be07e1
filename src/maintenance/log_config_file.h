#pragma once
// The suite's logging configuration files: sections of "key = value" entries with comments.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qor {

namespace logcfg {
inline constexpr ResultCode NotFound = SuiteError(0x15);          // section or key missing
inline constexpr ResultCode NoClosingBracket = SuiteError(0x16);
inline constexpr ResultCode DuplicateSection = SuiteError(0x17);
inline constexpr ResultCode EntryOutsideSection = SuiteError(0x18);
inline constexpr ResultCode SyntaxError = SuiteError(0x19);
inline constexpr ResultCode DuplicateEntry = SuiteError(0x1A);
inline constexpr ResultCode NoEntry = SuiteError(0x4C);           // found, yet nothing given
// Far more than a logging configuration ever holds; larger files are refused unread.
inline constexpr std::uint64_t kMaxFileBytes = 16u << 20;
}  // namespace logcfg

// The comment lines that stood before a section header or an entry, one text per line
// without its ";"; an empty text stands for a blank line.
using CommentBlock = std::vector<std::wstring>;

struct LogConfigEntry {
    std::wstring key;
    std::wstring rawValue;  // as written after "=", quotes included, trimmed
    bool multiValue = false;
    std::vector<std::wstring> items;  // kept when there are two or more
    CommentBlock comment;
    std::optional<std::wstring> inlineComment;  // the text after an unquoted ";"
};

struct LogConfigSection {
    std::wstring name;
    CommentBlock comment;
    std::map<std::wstring, LogConfigEntry, std::less<>> entries;  // ordinal order of the keys
};

struct LogConfigParseError {
    std::uint64_t line;  // from 1
    ResultCode code;
};

class LogConfigFile {
public:
    // Reads the file: UTF-16 (either order) or UTF-8 after a byte-order mark, else the
    // ANSI code page. Malformed lines are left out; only an unreadable file fails.
    [[nodiscard]] ResultCode Load(const std::wstring& path);
    // Writes the file in the ANSI code page with CR LF, sections and entries sorted. The old
    // file is replaced only once the new content is complete on disk.
    [[nodiscard]] ResultCode Save(const std::wstring& path) const;

    // Replaces the content with `text`, split into lines.
    void Parse(std::wstring_view text);
    // The content as Save writes it, before the code page conversion.
    std::wstring Text() const;

    // logcfg::NotFound when the section or the key is missing.
    [[nodiscard]] ResultCode Find(std::wstring_view section, std::wstring_view key,
                                  LogConfigEntry*& entry) noexcept;
    // The value becomes `text`, written as it is, single-valued.
    static void SetValue(LogConfigEntry& entry, std::wstring text);

    const std::map<std::wstring, LogConfigSection, std::less<>>& Sections() const noexcept {
        return sections_;
    }
    const std::vector<LogConfigParseError>& ParseErrors() const noexcept { return errors_; }

private:
    std::map<std::wstring, LogConfigSection, std::less<>> sections_;
    std::vector<LogConfigParseError> errors_;
};

// The text of a configuration file's bytes, by its byte-order mark. An odd byte count after
// a UTF-16 mark is rc::BadLength.
[[nodiscard]] ResultCode DecodeConfigText(std::string_view bytes, std::wstring& out);

}  // namespace qor
