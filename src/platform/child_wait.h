#pragma once
// The waiting rules of the process helpers, over the few calls they need.
#include <cstddef>
#include <cstdint>

#include "common/result.h"

namespace qor {

inline constexpr std::uint32_t kChildWaitBudgetMs = 5000;
inline constexpr std::uint32_t kChildWaitStepMs = 500;
inline constexpr std::uint32_t kStillActive = 259;

class ChildWaitOps {
public:
    virtual ~ChildWaitOps() = default;
    [[nodiscard]] virtual ResultCode QueryExitCode(std::uint32_t& exitCode) noexcept = 0;
    virtual void Sleep(std::uint32_t milliseconds) noexcept = 0;
};

// Polls until the child has ended, the query fails or `budgetMs` is spent; answers the
// last query's result (0 also for a child still running).
[[nodiscard]] ResultCode PollChildExit(ChildWaitOps& ops,
                                       std::uint32_t budgetMs = kChildWaitBudgetMs) noexcept;

class PipeDrainOps {
public:
    virtual ~PipeDrainOps() = default;
    // Bytes waiting in the pipe; a failure means the writers have all gone.
    [[nodiscard]] virtual ResultCode Available(std::uint32_t& bytes) noexcept = 0;
    [[nodiscard]] virtual ResultCode Read(std::uint8_t* buffer, std::uint32_t size,
                                          std::uint32_t& read) noexcept = 0;
    [[nodiscard]] virtual ResultCode Write(const std::uint8_t* buffer,
                                           std::uint32_t size) noexcept = 0;
    virtual std::uint32_t NowMs() noexcept = 0;  // a wrapping millisecond clock
    virtual void Sleep(std::uint32_t milliseconds) noexcept = 0;
};

inline constexpr std::uint32_t kDrainChunk = 1024;
inline constexpr std::uint32_t kDrainIdleMs = 10;

// Copies the pipe to the output until the writers are gone, a read gives nothing or a write
// fails (all 0), or until `deadlineMs` has passed: then what was copied stays and the answer
// is the timeout code.
[[nodiscard]] ResultCode DrainPipe(PipeDrainOps& ops, std::uint32_t deadlineMs) noexcept;

// The children started without waiting for their end.
class ChildSetOps {
public:
    virtual ~ChildSetOps() = default;
    virtual std::size_t Count() noexcept = 0;
    // True when child `index` has ended (or cannot be waited for) within `milliseconds`.
    [[nodiscard]] virtual bool WaitOne(std::size_t index, std::uint32_t milliseconds) noexcept = 0;
    virtual std::uint32_t NowMs() noexcept = 0;  // a wrapping millisecond clock
};

// Waits for every child, all of them together within `budgetMs`; the timeout code when one
// is still running at the end. Nobody is terminated.
[[nodiscard]] ResultCode WaitForChildren(ChildSetOps& ops, std::uint32_t budgetMs) noexcept;

}  // namespace qor
