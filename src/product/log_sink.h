#pragma once
// Log records for the suite's logging module; dropped while no module is attached.
#include <string>

namespace qor {

enum class LogSeverity : unsigned { Debug = 0, Info = 1, Warning = 2, Error = 3 };

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void Write(LogSeverity severity, const wchar_t* logger, const wchar_t* source,
                       const std::wstring& message) noexcept = 0;
};

}  // namespace qor
