#pragma once
// Result codes: bits 31-30 severity, bit 29 the suite's own codes, bits 27-16 facility,
// bits 15-0 the code proper. Negative is failure.
#include <cstdint>

namespace qor {

using ResultCode = std::int32_t;

constexpr ResultCode SuiteError(std::uint16_t low) noexcept {
    return static_cast<ResultCode>(0xE0010000u | low);
}

namespace rc {
inline constexpr ResultCode Ok = 0;
inline constexpr ResultCode OutOfMemory = SuiteError(0x01);
inline constexpr ResultCode ArgumentMissing = SuiteError(0x02);
inline constexpr ResultCode RegistryKeyNotFound = SuiteError(0x13);
inline constexpr ResultCode RegistryWrongType = SuiteError(0x14);
inline constexpr ResultCode DirectoryKindOutOfRange = SuiteError(0x3C);
inline constexpr ResultCode FileNotFound = SuiteError(0x3D);
inline constexpr ResultCode PathNotFound = SuiteError(0x3E);
inline constexpr ResultCode InvalidHandle = SuiteError(0x3F);
inline constexpr ResultCode EmptyPath = SuiteError(0x40);
inline constexpr ResultCode BufferTooSmall = SuiteError(0x44);
inline constexpr ResultCode InvalidData = SuiteError(0x45);
inline constexpr ResultCode NoMoreEntries = SuiteError(0x46);
inline constexpr ResultCode BadLength = SuiteError(0x49);
inline constexpr ResultCode NotFound = SuiteError(0x4C);
inline constexpr ResultCode AlreadyExists = SuiteError(0x4F);
inline constexpr ResultCode NotSupported = SuiteError(0x54);
inline constexpr ResultCode InvalidFunction = SuiteError(0x56);
// A malformed image or an address outside the file's data (warning severity, still a failure).
inline constexpr ResultCode MalformedImage = static_cast<ResultCode>(0xA0018FD8u);
}  // namespace rc

constexpr bool Failed(ResultCode code) noexcept { return code < 0; }
constexpr bool Succeeded(ResultCode code) noexcept { return code >= 0; }

// Severity 0..3 (higher bits ignored) and a Windows error number.
[[nodiscard]] ResultCode MakeResultCode(unsigned severity, std::uint32_t win32Error) noexcept;

// 0 stays 0; anything else is an error-severity code.
[[nodiscard]] ResultCode ResultFromWin32(std::uint32_t win32Error) noexcept;

// The NT-status rule with the status-to-Windows-error conversion supplied by the caller.
using NtStatusToWin32Fn = std::uint32_t (*)(std::uint32_t status);
[[nodiscard]] ResultCode ResultFromNtStatusWith(std::uint32_t status,
                                                NtStatusToWin32Fn toWin32) noexcept;

// Windows builds only: converts through the system's own status table.
[[nodiscard]] ResultCode ResultFromNtStatus(std::uint32_t status) noexcept;

}  // namespace qor
