#pragma once
#include "maintenance/driver_registry.h"

namespace qor {

// The machine hive through RegOpenKeyExW, RegQueryValueExW and RegSetValueExW.
class WinDriverRegistry final : public DriverRegistry {
public:
    [[nodiscard]] ResultCode OpenKey(const std::wstring& path) override;
    [[nodiscard]] ResultCode ReadString(const std::wstring& path, const std::wstring& name,
                                        std::wstring& out) override;
    [[nodiscard]] ResultCode ReadDword(const std::wstring& path, const std::wstring& name,
                                       std::uint32_t& out) override;
    [[nodiscard]] ResultCode ReadBinary(const std::wstring& path, const std::wstring& name,
                                        std::vector<std::uint8_t>& out) override;
    [[nodiscard]] ResultCode WriteString(const std::wstring& path, const std::wstring& name,
                                         const std::wstring& value) override;
    [[nodiscard]] ResultCode WriteDword(const std::wstring& path, const std::wstring& name,
                                        std::uint32_t value) override;
    [[nodiscard]] ResultCode WriteBinary(const std::wstring& path, const std::wstring& name,
                                         const std::vector<std::uint8_t>& value) override;
};

}  // namespace qor
