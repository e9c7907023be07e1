#include "diag/run/command_launcher.h"

#include <algorithm>
#include <new>

#include "common/path_join.h"

namespace qor {

std::uint32_t CaptureBudgetMs(std::uint32_t stepDeadlineMs, std::uint64_t elapsedMs) noexcept {
    constexpr std::uint32_t kMaxMarginMs = 1000;
    const std::uint32_t margin = std::min(kMaxMarginMs, stepDeadlineMs / 10);
    const std::uint32_t usable = stepDeadlineMs - margin;
    return elapsedMs < usable ? static_cast<std::uint32_t>(usable - elapsedMs) : 0;
}

ResultCode CaptureFilePath(const CaptureTarget& target, const wchar_t* name,
                           std::wstring& out) noexcept {
    try {
        out = JoinPath(target.workDirectory, name);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

}  // namespace qor
