#include "diag/suite/firewall_driver_win.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "diag/suite/firewall_driver.h"
#include "platform/win/service_control_win.h"
#include "platform/system_env.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

class DeviceChannel final : public DriverChannel {
public:
    explicit DeviceChannel(FileHandle handle) noexcept : handle_(std::move(handle)) {}

    ResultCode Control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                       void* output, std::uint32_t outputSize,
                       std::uint32_t& returned) noexcept override {
        DWORD bytes = 0;
        if (!DeviceIoControl(handle_.Get(), code, const_cast<void*>(input), inputSize, output,
                             outputSize, &bytes, nullptr)) {
            return ResultFromWin32(GetLastError());
        }
        returned = bytes;
        return rc::Ok;
    }

private:
    FileHandle handle_;
};

class DeviceSystem final : public DriverSystem {
public:
    ResultCode StartDriverService(const std::wstring& name) override {
        return StartServiceAndWait(name).Code();
    }

    ResultCode Open(const std::wstring& path,
                    std::unique_ptr<DriverChannel>& channel) noexcept override {
        FileHandle handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) return ResultFromWin32(GetLastError());
        channel = std::make_unique<DeviceChannel>(std::move(handle));
        return rc::Ok;
    }

    std::uint64_t SystemTime() noexcept override {
        return static_cast<std::uint64_t>(CurrentSystemTime());
    }
};

}  // namespace

ResultCode QueryFirewallDriver(std::wstring& text) {
    DeviceSystem system;
    FirewallDriverDevice device(system, FirewallDriverServiceName(GetOsVersionRecord()));
    return QueryFirewallDriver(device, text);
}

}  // namespace qor
