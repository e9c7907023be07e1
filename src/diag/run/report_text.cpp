#include "diag/run/report_text.h"

#include "common/text_encoding.h"
#include "platform/ansi_code_page.h"

namespace qor {
namespace {

constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsHighSurrogateAt(std::string_view bytes, std::size_t offset) {
    const auto high = static_cast<unsigned char>(bytes[offset + 1]);
    return high >= 0xD8 && high <= 0xDB;
}

bool IsContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Byte by byte as Latin-1: what a failing code-page conversion leaves to go on with.
std::wstring FromLatin1(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return text;
}

bool IsUnwantedControl(char32_t c) {
    if (c < 0x20) return c != L'\t' && c != L'\n' && c != L'\r';
    if (c >= 0x202A && c <= 0x202E) return true;  // embeddings and overrides
    if (c >= 0x2066 && c <= 0x2069) return true;  // isolates
    return c >= 0x7F && c <= 0x9F;
}

// Whether the last of `bytes` begins a two-byte character: a run of lead-byte values that
// ends there begins after a whole character, and pairs off from its start.
bool EndsInLeadByte(std::string_view bytes, const LeadByteTable& leadBytes) {
    std::size_t run = 0;
    while (run < bytes.size() &&
           leadBytes[static_cast<unsigned char>(bytes[bytes.size() - 1 - run])]) {
        ++run;
    }
    return run % 2 == 1;
}

}  // namespace

std::wstring DecodeFileText(std::string_view bytes, AnsiDecoder ansi) {
    if (bytes.starts_with(kUtf16Mark)) {
        bytes.remove_prefix(kUtf16Mark.size());
        std::wstring text = FromUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size() / 2);
        if (bytes.size() % 2 != 0) text += L'\xFFFD';  // half a unit at the end
        return text;
    }
    if (bytes.starts_with(kUtf8Mark)) return FromUtf8(bytes.substr(kUtf8Mark.size()));
    std::wstring text;
    if (Failed(ansi(bytes, text))) return FromLatin1(bytes);
    return text;
}

std::size_t TextCutPoint(std::string_view bytes, std::size_t limit,
                         const LeadByteTable& leadBytes) {
    if (bytes.size() <= limit) return bytes.size();
    std::size_t cut = limit;
    if (bytes.starts_with(kUtf16Mark)) {
        cut -= cut % 2;
        if (cut >= kUtf16Mark.size() + 2 && IsHighSurrogateAt(bytes, cut - 2)) cut -= 2;
    } else if (bytes.starts_with(kUtf8Mark)) {
        // Back to the lead byte of a character that the cut would split.
        std::size_t lead = cut;
        while (lead > kUtf8Mark.size() && cut - lead < 4 && IsContinuation(bytes[lead])) --lead;
        cut = lead;
    } else if (EndsInLeadByte(bytes.substr(0, cut), leadBytes)) {
        --cut;
    }
    return cut;
}

std::string EscapeHtml(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += L"&quot;"; break;
            case L'\'': escaped += L"&#39;"; break;
            default: escaped += IsUnwantedControl(static_cast<char32_t>(c)) ? L'\xFFFD' : c;
        }
    }
    return ToUtf8(escaped);  // unpaired surrogates become U+FFFD here
}

std::string FileBytesAsHtml(std::string_view bytes) { return EscapeHtml(DecodeFileText(bytes)); }

}  // namespace qor
