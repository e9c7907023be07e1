#include "diag/suite/firewall_driver.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>

#include "common/text_encoding.h"

namespace qor {
namespace {

constexpr std::uint32_t kHeaderSize = 8;  // needed size, then text length

std::uint32_t ReadWord(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
}

std::array<std::uint8_t, 8> TimeBytes(std::uint64_t time) {
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = (time >> (8 * i)) & 0xFF;
    return bytes;
}

// One request with `outputSize` bytes of output. Sets `needed` when the text did not fit,
// else `text`, taken only from the bytes the driver returned.
ResultCode AskOnce(FirewallDriverDevice& device, std::uint32_t outputSize,
                   std::uint32_t& needed, std::wstring& text) {
    if (outputSize > kDriverMaxOutputSize) return rc::OutOfMemory;
    // Twice the size; at least the header, so the two words are always read from zeros.
    const std::size_t allocated = std::max<std::size_t>(std::size_t{outputSize} * 2, kHeaderSize);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[allocated]);
    if (!buffer) return rc::OutOfMemory;
    std::memset(buffer.get(), 0, std::max(outputSize, kHeaderSize));

    const auto input = TimeBytes(device.SystemTime());
    std::uint32_t returned = 0;
    const ResultCode code = device.Control(kDriverReportControl, input.data(), input.size(),
                                           buffer.get(), outputSize, returned);
    if (Failed(code)) return code;

    needed = ReadWord(buffer.get());
    if (needed != 0) return rc::Ok;
    returned = std::min(returned, outputSize);
    const std::uint32_t available = returned > kHeaderSize ? returned - kHeaderSize : 0;
    const std::uint32_t length = std::min(ReadWord(buffer.get() + 4), available);
    text = FromUtf16Le(buffer.get() + kHeaderSize, length / 2);
    return rc::Ok;
}

}  // namespace

std::wstring FirewallDriverServiceName(const OsVersionRecord& os) {
    const bool filtering = os.majorVersion > 6 || (os.majorVersion == 6 && os.minorVersion >= 2);
    const std::wstring stem = filtering ? L"QorWfp" : L"QorTdi";
    switch (os.processorClass) {
        case ProcessorClass::X86: return stem + L"X";
        case ProcessorClass::Amd64: return stem + L"A";
        case ProcessorClass::Ia64: return stem + L"I";
    }
    return {};
}

FirewallDriverDevice::FirewallDriverDevice(DriverSystem& system, std::wstring serviceName)
    : system_(system), serviceName_(std::move(serviceName)) {}

ResultCode FirewallDriverDevice::Open() {
    if (channel_) return rc::Ok;
    if (!serviceStarted_) {
        const ResultCode code = system_.StartDriverService(serviceName_);
        if (Failed(code)) return code;
        serviceStarted_ = true;
    }
    const std::wstring name = kDeviceName;
    if (Succeeded(system_.Open(L"\\\\.\\" + name, channel_))) return rc::Ok;
    return system_.Open(L"\\\\.\\Global\\" + name, channel_);
}

ResultCode FirewallDriverDevice::Control(std::uint32_t code, const void* input,
                                         std::uint32_t inputSize, void* output,
                                         std::uint32_t outputSize,
                                         std::uint32_t& returned) noexcept {
    if (!channel_) return rc::InvalidHandle;
    return channel_->Control(code, input, inputSize, output, outputSize, returned);
}

ResultCode QueryFirewallDriver(FirewallDriverDevice& device, std::wstring& text) {
    if (const ResultCode code = device.Open(); Failed(code)) return code;
    std::uint32_t outputSize = kDriverFirstOutputSize;
    ResultCode code = rc::BufferTooSmall;
    for (int round = 0; round < kDriverMaxRounds; ++round) {
        std::uint32_t needed = 0;
        std::wstring answer;
        code = AskOnce(device, outputSize, needed, answer);
        if (Failed(code)) break;
        if (needed == 0) {
            text = std::move(answer);
            break;
        }
        outputSize = needed;
        code = rc::BufferTooSmall;
    }
    device.Close();
    return code;
}

}  // namespace qor
