#include "common/text_encoding.h"

namespace qor {
namespace {

void AppendUnit(std::string& out, char32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

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

void AppendWide(std::wstring& out, char32_t c) {
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
        out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}

// The length of the valid sequence at the start of `bytes` and its character; 0 if invalid.
std::size_t DecodeUtf8(std::string_view bytes, char32_t& c) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || bytes.size() < length) return 0;
    c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) return 0;
    return length;
}

}  // namespace

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(bytes, c);
        AppendWide(out, length == 0 ? 0xFFFD : c);
        bytes.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        }
        if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

std::string ToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c > 0xFFFF && c <= 0x10FFFF) {
            AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, c > 0xFFFF ? 0xFFFD : c);
        }
    }
    return out;
}

std::wstring FromUtf16Le(const unsigned char* bytes, std::size_t units) {
    std::wstring out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if constexpr (sizeof(wchar_t) > 2) {
            if (IsHighSurrogate(c) && i + 1 < units) {
                const char32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
                if (IsLowSurrogate(low)) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

bool CodePageRefusesDefaultCharacter(std::uint32_t codePage) noexcept {
    switch (codePage) {
        case 42: case 50220: case 50221: case 50222: case 50225: case 50227: case 50229:
        case 52936: case 54936: case 65000: case 65001:
            return true;
        default:
            return codePage >= 57002 && codePage <= 57011;
    }
}

}  // namespace qor
