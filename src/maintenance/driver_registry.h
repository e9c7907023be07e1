#pragma once
// The machine's service and load-order keys as the driver repair reads and writes them.
// Paths lie below HKEY_LOCAL_MACHINE; every call opens the key, does its work and closes it.
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"

namespace qor {

inline constexpr const wchar_t* kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";
inline constexpr const wchar_t* kGroupOrderListKey =
    L"SYSTEM\\CurrentControlSet\\Control\\GroupOrderList";

// A missing key or value answers rc::FileNotFound (or rc::PathNotFound for a missing
// parent); a value of another type rc::RegistryWrongType.
class DriverRegistry {
public:
    virtual ~DriverRegistry() = default;
    // Opens the key for reading and closes it again.
    [[nodiscard]] virtual ResultCode OpenKey(const std::wstring& path) = 0;
    [[nodiscard]] virtual ResultCode ReadString(const std::wstring& path,
                                                const std::wstring& name, std::wstring& out) = 0;
    // REG_DWORD, exactly four bytes.
    [[nodiscard]] virtual ResultCode ReadDword(const std::wstring& path,
                                               const std::wstring& name, std::uint32_t& out) = 0;
    // REG_BINARY of any length.
    [[nodiscard]] virtual ResultCode ReadBinary(const std::wstring& path,
                                                const std::wstring& name,
                                                std::vector<std::uint8_t>& out) = 0;
    // The key must exist; the value is created or replaced.
    [[nodiscard]] virtual ResultCode WriteString(const std::wstring& path,
                                                 const std::wstring& name,
                                                 const std::wstring& value) = 0;
    [[nodiscard]] virtual ResultCode WriteDword(const std::wstring& path,
                                                const std::wstring& name,
                                                std::uint32_t value) = 0;
    [[nodiscard]] virtual ResultCode WriteBinary(const std::wstring& path,
                                                 const std::wstring& name,
                                                 const std::vector<std::uint8_t>& value) = 0;
};

}  // namespace qor
