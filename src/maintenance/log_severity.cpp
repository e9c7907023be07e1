#include "maintenance/log_severity.h"

#include <utility>

namespace qor {
namespace {

constexpr std::pair<LogSeverity, std::wstring_view> kNames[] = {
    {severity::All, L"ALL"},     {severity::Debug, L"DEBUG"}, {severity::Detail, L"DETAIL"},
    {severity::Info, L"INFO"},   {severity::Warn, L"WARN"},   {severity::Error, L"ERROR"},
    {severity::Fatal, L"FATAL"}, {severity::Off, L"OFF"},
};

}  // namespace

std::wstring_view SeverityName(LogSeverity level) noexcept {
    for (const auto& [value, name] : kNames) {
        if (value == level) return name;
    }
    return L"INFO";
}

}  // namespace qor
