#include "crash/crash_command.h"

namespace qor {
namespace {

// Appends to a fixed buffer and remembers when something did not fit.
class FixedWriter {
public:
    explicit FixedWriter(wchar_t (&out)[kCrashCommandChars]) noexcept : out_(out) {}

    void Text(const wchar_t* text) noexcept {
        for (; text && *text; ++text) Char(*text);
    }
    void Char(wchar_t c) noexcept {
        if (used_ + 1 < kCrashCommandChars) {
            out_[used_++] = c;
        } else {
            overflow_ = true;
        }
    }
    // Lower-case hexadecimal without padding, as "%x" writes it.
    void Hex(std::uint32_t value) noexcept {
        wchar_t digits[8];
        int count = 0;
        do {
            digits[count++] = L"0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value);
        while (count) Char(digits[--count]);
    }
    // Upper-case hexadecimal padded to the pointer's width, as "%p" writes it.
    void Pointer(std::uintptr_t value, std::size_t pointerBytes) noexcept {
        for (std::size_t digit = pointerBytes * 2; digit-- > 0;) {
            const unsigned shift = static_cast<unsigned>(digit * 4);
            Char(shift < sizeof(value) * 8 ? L"0123456789ABCDEF"[(value >> shift) & 0xF] : L'0');
        }
    }
    bool Finish() noexcept {
        out_[overflow_ ? 0 : used_] = L'\0';
        return !overflow_;
    }

private:
    wchar_t (&out_)[kCrashCommandChars];
    std::size_t used_ = 0;
    bool overflow_ = false;
};

const wchar_t* FlavourSwitch(std::uint32_t flavour) noexcept {
    switch (flavour) {
    case 0: return L"-D _qor";
    case 1: return L"-D admin";
    default: return L"";
    }
}

}  // namespace

bool FormatCrashDumpCommand(const CrashDumpRequest& request, const CrashSettings& settings,
                            std::size_t pointerBytes,
                            wchar_t (&out)[kCrashCommandChars]) noexcept {
    FixedWriter w(out);
    if (request.native) {
        w.Char(L'.');
    } else {
        w.Char(L'"');
        w.Text(settings.toolPath && *settings.toolPath ? settings.toolPath : L"qordumpx");
        w.Char(L'"');
    }
    w.Text(L" -p 0x");
    w.Hex(request.processId);
    w.Text(L" -c 0x");
    w.Hex(request.threadId);
    w.Text(L" 0x");
    w.Pointer(request.exceptionPointers, pointerBytes);
    w.Text(L" -e 0x");
    w.Pointer(request.event, pointerBytes);
    w.Char(L' ');
    w.Text(FlavourSwitch(request.flavour));
    if (request.quiet) w.Text(L" -q");
    w.Text(settings.extraArguments);
    return w.Finish();
}

const void* ThrownObjectWithInfo(const RaisedException& raised,
                                 const void* hwThrowInfo) noexcept {
    if (raised.code != kPlatformCxxExceptionCode || raised.wordCount < 3 || !raised.words) {
        return nullptr;
    }
    if (raised.words[0] != kPlatformCxxMagic) return nullptr;
    if (!hwThrowInfo || raised.words[2] != reinterpret_cast<std::uintptr_t>(hwThrowInfo)) {
        return nullptr;
    }
    return reinterpret_cast<const void*>(raised.words[1]);
}

}  // namespace qor
