#pragma once
// How collectors start the system's programs, and where their files go.
#include <string>

#include "common/result.h"

namespace qor {

// The three ways of starting a program (the process helpers, or a double in tests).
class CommandLauncher {
public:
    virtual ~CommandLauncher() = default;
    [[nodiscard]] virtual ResultCode Detached(const std::wstring& commandLine) noexcept = 0;
    [[nodiscard]] virtual ResultCode AndWait(const std::wstring& commandLine) noexcept = 0;
    [[nodiscard]] virtual ResultCode Capture(const std::wstring& commandLine,
                                             const std::wstring& outputPath) noexcept = 0;
};

struct CaptureTarget {
    CommandLauncher& launcher;
    const std::wstring& workDirectory;
};

// The path of `name` in the work directory; OutOfMemory when it cannot be made.
[[nodiscard]] ResultCode CaptureFilePath(const CaptureTarget& target, const wchar_t* name,
                                         std::wstring& out) noexcept;

}  // namespace qor
