#include "platform/child_wait.h"

#include <algorithm>

namespace qor {
namespace {
constexpr std::uint32_t kErrorTimeout = 1460;
}  // namespace

ResultCode PollChildExit(ChildWaitOps& ops, std::uint32_t budgetMs) noexcept {
    std::uint32_t exitCode = 0;
    ResultCode result = ops.QueryExitCode(exitCode);
    std::int64_t budget = budgetMs;
    while (Succeeded(result) && exitCode == kStillActive && budget > 0) {
        const std::uint32_t nap = static_cast<std::uint32_t>(
            std::min<std::int64_t>(budget, kChildWaitStepMs));
        ops.Sleep(nap);
        budget -= nap;
        result = ops.QueryExitCode(exitCode);
    }
    return result;
}

ResultCode DrainPipe(PipeDrainOps& ops, std::uint32_t deadlineMs) noexcept {
    const std::uint32_t start = ops.NowMs();
    std::uint8_t buffer[kDrainChunk];
    for (;;) {
        std::uint32_t available = 0;
        if (Failed(ops.Available(available))) return rc::Ok;
        if (available == 0) {
            if (ops.NowMs() - start >= deadlineMs) return ResultFromWin32(kErrorTimeout);
            ops.Sleep(kDrainIdleMs);
            continue;
        }
        std::uint32_t read = 0;
        if (Failed(ops.Read(buffer, std::min(available, kDrainChunk), read)) || read == 0) {
            return rc::Ok;
        }
        if (Failed(ops.Write(buffer, read))) return rc::Ok;
        if (ops.NowMs() - start >= deadlineMs) return ResultFromWin32(kErrorTimeout);
    }
}

ResultCode WaitForChildren(ChildSetOps& ops, std::uint32_t budgetMs) noexcept {
    const std::uint32_t start = ops.NowMs();
    ResultCode result = rc::Ok;
    for (std::size_t i = 0; i < ops.Count(); ++i) {
        const std::uint32_t elapsed = ops.NowMs() - start;
        const std::uint32_t left = elapsed >= budgetMs ? 0 : budgetMs - elapsed;
        if (!ops.WaitOne(i, left)) result = ResultFromWin32(kErrorTimeout);
    }
    return result;
}

}  // namespace qor
