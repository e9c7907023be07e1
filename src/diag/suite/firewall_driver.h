#pragma once
// The firewall driver's own report: its service, its control device and the one request.
#include <cstdint>
#include <memory>
#include <string>

#include "common/result.h"
#include "platform/os_version.h"

namespace qor {

inline constexpr std::uint32_t kDriverReportControl = 0x83002108u;
inline constexpr std::uint32_t kDriverFirstOutputSize = 2048;
// Sizes above this are refused as unallocatable; the rounds limit stops a driver that
// never stops asking for more.
inline constexpr std::uint32_t kDriverMaxOutputSize = 64u << 20;
inline constexpr int kDriverMaxRounds = 16;

// "QorTdiX/A/I" before 6.2, "QorWfpX/A/I" from 6.2; empty for another processor class.
std::wstring FirewallDriverServiceName(const OsVersionRecord& os);

// One open handle on the device; closed when destroyed.
class DriverChannel {
public:
    virtual ~DriverChannel() = default;
    // `returned` is the number of output bytes the driver filled in.
    [[nodiscard]] virtual ResultCode Control(std::uint32_t code, const void* input,
                                             std::uint32_t inputSize, void* output,
                                             std::uint32_t outputSize,
                                             std::uint32_t& returned) noexcept = 0;
};

// What the device wrapper needs of the system; each call converts its own error.
class DriverSystem {
public:
    virtual ~DriverSystem() = default;
    [[nodiscard]] virtual ResultCode StartDriverService(const std::wstring& name) = 0;
    [[nodiscard]] virtual ResultCode Open(const std::wstring& path,
                                          std::unique_ptr<DriverChannel>& channel) noexcept = 0;
    // UTC, 100-ns units since 1601.
    virtual std::uint64_t SystemTime() noexcept = 0;
};

class FirewallDriverDevice {
public:
    static constexpr const wchar_t* kDeviceName = L"QorTdi";

    FirewallDriverDevice(DriverSystem& system, std::wstring serviceName);

    // Starts the service once, then opens the plain or else the global device path.
    [[nodiscard]] ResultCode Open();
    [[nodiscard]] ResultCode Control(std::uint32_t code, const void* input,
                                     std::uint32_t inputSize, void* output,
                                     std::uint32_t outputSize, std::uint32_t& returned) noexcept;
    void Close() noexcept { channel_.reset(); }
    std::uint64_t SystemTime() noexcept { return system_.SystemTime(); }

private:
    DriverSystem& system_;
    std::wstring serviceName_;
    std::unique_ptr<DriverChannel> channel_;
    bool serviceStarted_ = false;
};

// Replaces `text` with the driver's report on success; leaves it alone on failure.
[[nodiscard]] ResultCode QueryFirewallDriver(FirewallDriverDevice& device, std::wstring& text);

}  // namespace qor
