// The firewall driver's answer: the first request gets the input as its output bytes, a
// second one (after a "needed" size) gets the rest.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "diag/suite/firewall_driver.h"

namespace {

class ReplayChannel final : public qor::DriverChannel {
public:
    ReplayChannel(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    qor::ResultCode Control(std::uint32_t, const void*, std::uint32_t, void* output,
                            std::uint32_t outputSize, std::uint32_t& returned) noexcept override {
        const std::size_t count = std::min<std::size_t>(outputSize, size_);
        std::memcpy(output, data_, count);
        // The driver may claim more than it filled in.
        returned = size_ >= 4 ? data_[size_ - 1] * 97u : static_cast<std::uint32_t>(count);
        data_ += count;
        size_ -= count;
        return qor::rc::Ok;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class ReplaySystem final : public qor::DriverSystem {
public:
    ReplaySystem(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    qor::ResultCode StartDriverService(const std::wstring&) override { return qor::rc::Ok; }
    qor::ResultCode Open(const std::wstring&,
                         std::unique_ptr<qor::DriverChannel>& channel) noexcept override {
        channel = std::make_unique<ReplayChannel>(data_, size_);
        return qor::rc::Ok;
    }
    std::uint64_t SystemTime() noexcept override { return 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplaySystem system(data, size);
    qor::FirewallDriverDevice device(system, L"QorTdiA");
    std::wstring text;
    (void)qor::QueryFirewallDriver(device, text);
    return 0;
}
