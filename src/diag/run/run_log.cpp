#include "diag/run/run_log.h"

#include <chrono>

#include "common/text_format.h"

namespace qor {
namespace {

std::wstring_view WithoutTrailer(std::wstring_view message) {
    while (!message.empty() && (message.back() == L'\n' || message.back() == L' ')) {
        message.remove_suffix(1);
    }
    if (message.ends_with(L"...")) {
        message.remove_suffix(3);
    } else if (message.ends_with(L":")) {
        message.remove_suffix(1);
    }
    return message;
}

}  // namespace

MillisecondClock SteadyMilliseconds() {
    return [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
}

RunLog::RunLog(MillisecondClock clock) : clock_(std::move(clock)), started_(clock_()) {}

void RunLog::Begin(std::wstring_view message) {
    step_.assign(WithoutTrailer(message));
    stepStarted_ = clock_();
}

void RunLog::End(ResultCode code) {
    const std::uint64_t now = clock_();
    Line(step_, Succeeded(code) ? L"OK" : L"Failed", code, now - stepStarted_);
    stepStarted_ = now;
}

void RunLog::End(ResultCode code, std::uint64_t milliseconds) {
    Line(step_, Succeeded(code) ? L"OK" : L"Failed", code, milliseconds);
    stepStarted_ = clock_();
}

void RunLog::Skipped(std::wstring_view message) {
    Line(WithoutTrailer(message), L"skipped", rc::Ok, 0);
}

std::wstring RunLog::Text() const {
    return lines_ + FormatText(L"Total\t%u ms\n", static_cast<unsigned>(clock_() - started_));
}

void RunLog::Line(std::wstring_view message, const wchar_t* outcome, ResultCode code,
                  std::uint64_t milliseconds) {
    const std::wstring text(message);
    // Durations print as 32-bit counts: "%llu" is not known to every C runtime.
    lines_ += FormatText(L"%ls\t%ls\t%i (0x%x)\t%u ms\n", text.c_str(), outcome, code,
                         static_cast<unsigned>(code), static_cast<unsigned>(milliseconds));
}

}  // namespace qor
