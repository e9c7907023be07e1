#pragma once
// How collectors start the system's programs, and where their files go.
#include <cstdint>
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
    const std::wstring& systemFolder;  // where the system's programs are, by full path
};

// What a capture started `elapsedMs` into its step may take: it ends itself a margin before
// the step would be given up, so that its file is closed, and whole, before packing.
[[nodiscard]] std::uint32_t CaptureBudgetMs(std::uint32_t stepDeadlineMs,
                                            std::uint64_t elapsedMs) noexcept;

// The path of `name` in the work directory; OutOfMemory when it cannot be made.
[[nodiscard]] ResultCode CaptureFilePath(const CaptureTarget& target, const wchar_t* name,
                                         std::wstring& out) noexcept;

}  // namespace qor
