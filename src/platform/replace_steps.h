#pragma once
// A file put in place of another through the system's replace call with a backup name, so
// that whatever the call answers, the target ends up holding its old bytes or its new ones.
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qor::fs {

// Windows errors the replace call answers with.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
// The old file may be gone (no backup) and the replacement keeps its own name.
inline constexpr std::uint32_t kErrorUnableToMoveReplacement = 1176;
// The old file lives on under the backup name, the replacement under its own.
inline constexpr std::uint32_t kErrorUnableToMoveReplacement2 = 1177;

// The calls the decision makes, in the system's terms.
class ReplaceCalls {
public:
    // `replacement` takes the place of `target`, whose old file is kept as `backup`.
    [[nodiscard]] virtual ResultCode Replace(const std::wstring& target,
                                             const std::wstring& replacement,
                                             const std::wstring& backup) noexcept = 0;
    // To a name that is free.
    [[nodiscard]] virtual ResultCode Move(const std::wstring& from,
                                          const std::wstring& to) noexcept = 0;
    virtual bool Exists(const std::wstring& path) noexcept = 0;
    virtual void Remove(const std::wstring& path) noexcept = 0;

protected:
    ~ReplaceCalls() = default;
};

// On success `target` holds the replacement's bytes and the backup is removed. On failure
// `target` holds its old bytes and the replacement is removed; only when neither could be put
// at `target` are the replacement and the backup left beside it. A missing `target` is
// simply created.
[[nodiscard]] ResultCode ReplaceThroughBackup(ReplaceCalls& calls, const std::wstring& target,
                                              const std::wstring& replacement,
                                              const std::wstring& backup) noexcept;

}  // namespace qor::fs
