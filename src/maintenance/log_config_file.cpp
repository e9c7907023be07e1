// Loading, saving and changing a logging configuration file.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "maintenance/log_config_file.h"

#include "common/text_encoding.h"
#include "platform/ansi_code_page.h"
#include "platform/fs.h"

namespace qor {
namespace {

// The longest path whose native form ("\??\" and a terminator added) fits its 16-bit size.
constexpr std::size_t kMaxPathChars = 32767 - 5;
constexpr std::uint32_t kReadChunk = 4096;
constexpr std::size_t kWriteChunk = 65536;

ResultCode CheckPath(const std::wstring& path) {
    if (path.empty()) return rc::EmptyPath;
    return path.size() > kMaxPathChars ? rc::BufferTooSmall : rc::Ok;
}

ResultCode ReadAll(const std::wstring& path, std::string& out) {
    fs::File file;
    if (const ResultCode opened = fs::OpenNativeForReading(path, file); Failed(opened)) return opened;
    std::string bytes;
    char chunk[kReadChunk];
    for (;;) {
        std::uint32_t read = 0;
        if (const ResultCode code = file.Read(chunk, kReadChunk, read); Failed(code)) return code;
        if (read == 0) break;
        if (bytes.size() + read > logcfg::kMaxFileBytes) return rc::BadLength;
        bytes.append(chunk, read);
    }
    out = std::move(bytes);
    return rc::Ok;
}

ResultCode WriteAll(fs::File& file, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t size = std::min(bytes.size(), kWriteChunk);
        std::uint32_t written = 0;
        if (const ResultCode code = file.Write(bytes.data(), static_cast<std::uint32_t>(size), written);
            Failed(code)) {
            return code;
        }
        bytes.remove_prefix(size);
    }
    return rc::Ok;
}

std::wstring Utf16BigEndian(std::string_view bytes) {
    std::string swapped(bytes);
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return FromUtf16Le(reinterpret_cast<const unsigned char*>(swapped.data()), swapped.size() / 2);
}

void AppendBlock(std::wstring& out, const CommentBlock& block) {
    for (const std::wstring& line : block) {
        if (!line.empty()) out.append(L";").append(line);
        out += L"\r\n";
    }
}

}  // namespace

ResultCode DecodeConfigText(std::string_view bytes, std::wstring& out) {
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (littleEndian || bytes.starts_with("\xFE\xFF")) {
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) return rc::BadLength;
        out = littleEndian
                  ? FromUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size() / 2)
                  : Utf16BigEndian(bytes);
        return rc::Ok;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        out = FromUtf8(bytes.substr(3));
        return rc::Ok;
    }
    return FromAnsiCodePage(bytes, out);
}

ResultCode LogConfigFile::Load(const std::wstring& path) try {
    if (const ResultCode checked = CheckPath(path); Failed(checked)) return checked;
    std::string bytes;
    if (const ResultCode read = ReadAll(path, bytes); Failed(read)) return read;
    std::wstring text;
    if (const ResultCode decoded = DecodeConfigText(bytes, text); Failed(decoded)) return decoded;
    LogConfigFile loaded;
    loaded.Parse(text);
    *this = std::move(loaded);
    return rc::Ok;
} catch (const std::bad_alloc&) {
    return rc::OutOfMemory;
} catch (const std::length_error&) {
    return rc::OutOfMemory;
}

ResultCode LogConfigFile::Save(const std::wstring& path) const try {
    if (const ResultCode checked = CheckPath(path); Failed(checked)) return checked;
    std::string bytes;
    if (const ResultCode encoded = ToAnsiCodePage(Text(), bytes); Failed(encoded)) return encoded;
    return fs::ReplaceContents(path, [&bytes](fs::File& file) { return WriteAll(file, bytes); });
} catch (const std::bad_alloc&) {
    return rc::OutOfMemory;
} catch (const std::length_error&) {
    return rc::OutOfMemory;
}

std::wstring LogConfigFile::Text() const {
    std::wstring out;
    bool first = true;
    for (const auto& [name, section] : sections_) {
        if (!first) out += L"\r\n";
        first = false;
        AppendBlock(out, section.comment);
        out.append(L"[").append(name).append(L"]\r\n");
        for (const auto& [key, entry] : section.entries) {
            AppendBlock(out, entry.comment);
            out.append(key).append(L" = ").append(entry.rawValue);
            if (entry.inlineComment) out.append(L" ;").append(*entry.inlineComment);
            out += L"\r\n";
        }
    }
    return out;
}

ResultCode LogConfigFile::Find(std::wstring_view section, std::wstring_view key,
                               LogConfigEntry*& entry) noexcept {
    const auto found = sections_.find(section);
    if (found == sections_.end()) return logcfg::NotFound;
    const auto item = found->second.entries.find(key);
    if (item == found->second.entries.end()) return logcfg::NotFound;
    entry = &item->second;
    return rc::Ok;
}

void LogConfigFile::SetValue(LogConfigEntry& entry, std::wstring text) {
    entry.rawValue = std::move(text);
    entry.multiValue = false;
    entry.items.clear();
}

}  // namespace qor
