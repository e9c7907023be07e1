#pragma once
// Lists the entries of one directory that match a wildcard mask, in the file system's order.
#include <cstdint>
#include <memory>
#include <string>

#include "common/result.h"

namespace qor::rc {
inline constexpr ResultCode EndOfEntries = SuiteError(0x0E);
// A link met where a plain file or directory must be: Windows error 1920 (the file cannot be
// accessed by the system) in result form.
inline constexpr ResultCode LinkRefused = static_cast<ResultCode>(0xC0070780u);
}

namespace qor::fs {

namespace kinds {
inline constexpr std::uint32_t DotDot = 1;
inline constexpr std::uint32_t Dot = 2;
inline constexpr std::uint32_t Directories = 4;
inline constexpr std::uint32_t Files = 8;
inline constexpr std::uint32_t ReparsePoints = 16;
// Not a kind of entry: the listed directory itself must be no link (Open gives
// rc::LinkRefused otherwise), and it is kept from being deleted or renamed while listed.
inline constexpr std::uint32_t NotThroughLink = 32;
}  // namespace kinds

struct DirectoryEntry {
    std::wstring name;
    std::wstring fullPath;
    std::uint32_t attributes = 0;
};

class DirectoryEnumerator {
public:
    DirectoryEnumerator() noexcept;
    DirectoryEnumerator(const DirectoryEnumerator&) = delete;
    DirectoryEnumerator& operator=(const DirectoryEnumerator&) = delete;
    ~DirectoryEnumerator();

    // The mask is matched without regard to case ("*" and "?").
    [[nodiscard]] ResultCode Open(const std::wstring& directory, const std::wstring& mask,
                                  std::uint32_t kindFlags) noexcept;
    // rc::EndOfEntries after the last entry.
    [[nodiscard]] ResultCode Next(DirectoryEntry& out) noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qor::fs
