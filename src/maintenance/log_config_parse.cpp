// Reading a logging configuration text: the line rules and the value grammar.
#include <utility>

#include "maintenance/log_config_file.h"

namespace qor {
namespace {

constexpr std::wstring_view kIndent = L"\t\v ";
constexpr std::wstring_view kTrimmed = L" \t\n\r\v";

std::wstring_view Trim(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(kTrimmed);
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kTrimmed) - first + 1);
}

bool IsBlank(wchar_t c) { return c == L'\t' || c == L' '; }

struct ParsedValue {
    std::wstring_view raw;
    std::vector<std::wstring> items;
    std::optional<std::wstring> inlineComment;
};

// The text after "=", character by character.
class ValueParser {
public:
    [[nodiscard]] ResultCode Parse(std::wstring_view text, ParsedValue& out) {
        std::size_t end = text.size();
        for (std::size_t i = 0; i < text.size() && end == text.size(); ++i) {
            if (!Step(text[i])) return logcfg::SyntaxError;
            if (state_ == State::Comment) {
                end = i;
                out.inlineComment = std::wstring(text.substr(i + 1));
            }
        }
        if (state_ == State::Quoted || state_ == State::Escaped) return logcfg::SyntaxError;
        EndItem();
        out.raw = Trim(text.substr(0, end));
        out.items = std::move(items_);
        return rc::Ok;
    }

private:
    enum class State { Outside, Quoted, Escaped, AfterQuote, Comment };

    // False on a syntax error.
    bool Step(wchar_t c) {
        switch (state_) {
            case State::Outside: Outside(c); return true;
            case State::Escaped:
                if (c == L'"') {
                    item_ += c;
                    state_ = State::Quoted;
                    return true;
                }
                item_ += L'\\';
                state_ = State::Quoted;
                Quoted(c);
                return true;
            case State::Quoted: Quoted(c); return true;
            case State::AfterQuote:
                if (IsBlank(c)) state_ = State::Outside;
                else if (c == L';') state_ = State::Comment;
                else return false;
                return true;
            case State::Comment: return true;
        }
        return true;
    }

    void Outside(wchar_t c) {
        if (IsBlank(c)) {
            EndItem();
        } else if (c == L'"') {
            EndItem();
            begun_ = true;
            state_ = State::Quoted;
        } else if (c == L';') {
            state_ = State::Comment;
        } else {
            item_ += c;
            begun_ = true;
        }
    }

    void Quoted(wchar_t c) {
        if (c == L'\\') {
            state_ = State::Escaped;
        } else if (c == L'"') {
            EndItem();
            state_ = State::AfterQuote;
        } else {
            item_ += c;
        }
    }

    void EndItem() {
        if (!begun_) return;
        items_.push_back(std::move(item_));
        item_.clear();
        begun_ = false;
    }

    State state_ = State::Outside;
    std::wstring item_;
    bool begun_ = false;
    std::vector<std::wstring> items_;
};

// Line by line, with the comments and blank lines waiting for the header or entry they
// stand before.
class LineParser {
public:
    LineParser(std::map<std::wstring, LogConfigSection, std::less<>>& sections,
               std::vector<LogConfigParseError>& errors)
        : sections_(sections), errors_(errors) {}

    void Line(std::wstring_view line, std::uint64_t number) {
        const std::size_t start = line.find_first_not_of(kIndent);
        if (start == std::wstring_view::npos) {
            ++blanks_;
            return;
        }
        const std::wstring_view rest = line.substr(start);
        ResultCode result = rc::Ok;
        if (rest[0] == L';') Comment(rest.substr(1));
        else if (rest[0] == L'[') result = Header(rest);
        else result = Entry(rest);
        if (Failed(result)) errors_.push_back({number, result});
    }

private:
    // A comment with no text is an empty line of the block: written back as a blank line.
    void Comment(std::wstring_view text) {
        if (pending_.empty()) leadingBlanks_ = blanks_;
        pending_.insert(pending_.end(), blanks_, std::wstring());
        blanks_ = 0;
        pending_.emplace_back(text);
    }

    [[nodiscard]] ResultCode Header(std::wstring_view text) {
        current_ = nullptr;
        skipping_ = true;
        const std::size_t close = text.find(L']');
        if (close == std::wstring_view::npos) return logcfg::NoClosingBracket;
        const std::wstring_view name = text.substr(1, close - 1);
        if (sections_.find(name) != sections_.end()) return logcfg::DuplicateSection;
        const std::size_t semicolon = text.find(L';', close + 1);
        if (semicolon != std::wstring_view::npos) {
            if (pending_.empty()) leadingBlanks_ = 0;
            pending_.emplace_back(text.substr(semicolon + 1));
        }
        LogConfigSection section{std::wstring(name), TakePending(), {}};
        // Sections are saved one blank line apart: after a section, the first blank line
        // before the next one's comments is that spacing, or every save would add one.
        if (!sections_.empty() && leadingBlanksTaken_ != 0) {
            section.comment.erase(section.comment.begin());
        }
        current_ = &sections_.emplace(section.name, std::move(section)).first->second;
        skipping_ = false;
        return rc::Ok;
    }

    [[nodiscard]] ResultCode Entry(std::wstring_view text) {
        if (skipping_) return rc::Ok;  // in a section whose header failed
        const std::size_t equals = text.find(L'=');
        if (equals == std::wstring_view::npos) return logcfg::SyntaxError;
        if (!current_) return logcfg::EntryOutsideSection;
        const std::wstring_view key = Trim(text.substr(0, equals));
        if (current_->entries.find(key) != current_->entries.end()) return logcfg::DuplicateEntry;
        ParsedValue value;
        if (const ResultCode parsed = ValueParser().Parse(text.substr(equals + 1), value);
            Failed(parsed)) {
            return parsed;
        }
        LogConfigEntry entry;
        entry.key = key;
        entry.rawValue = value.raw;
        entry.multiValue = value.items.size() >= 2;
        if (entry.multiValue) entry.items = std::move(value.items);
        entry.inlineComment = std::move(value.inlineComment);
        entry.comment = TakePending();
        current_->entries.emplace(entry.key, std::move(entry));
        return rc::Ok;
    }

    CommentBlock TakePending() {
        leadingBlanksTaken_ = pending_.empty() ? 0 : leadingBlanks_;
        leadingBlanks_ = 0;
        blanks_ = 0;
        return std::exchange(pending_, {});
    }

    std::map<std::wstring, LogConfigSection, std::less<>>& sections_;
    std::vector<LogConfigParseError>& errors_;
    LogConfigSection* current_ = nullptr;
    bool skipping_ = false;
    CommentBlock pending_;
    std::size_t blanks_ = 0;
    std::size_t leadingBlanks_ = 0;      // blank lines at the start of pending_
    std::size_t leadingBlanksTaken_ = 0;  // the same for the block last taken
};

}  // namespace

void LogConfigFile::Parse(std::wstring_view text) {
    sections_.clear();
    errors_.clear();
    LineParser parser(sections_, errors_);
    std::uint64_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(L"\r\n");
        parser.Line(text.substr(0, end), ++number);
        if (end == std::wstring_view::npos) break;
        const bool crLf = text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n';
        text.remove_prefix(end + (crLf ? 2 : 1));
    }
}

}  // namespace qor
