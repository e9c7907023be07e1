// The engine's information records: the first 8 input bytes are the local zone's bias,
// every further 24 bytes one record, formatted into its dump line.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "diag/suite/scanner_engine_record.h"

namespace {

class InputZone final : public qor::ZoneClock {
public:
    explicit InputZone(std::int64_t bias) : bias_(bias) {}
    qor::ResultCode LocalBias(std::int64_t, std::int64_t& bias) noexcept override {
        bias = bias_;
        return qor::rc::Ok;
    }

private:
    std::int64_t bias_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int64_t bias = 0;
    if (size < sizeof(bias)) return 0;
    std::memcpy(&bias, data, sizeof(bias));
    InputZone zone(bias);
    std::wstring text;
    constexpr std::size_t kRecord = qor::kEngineInfoSize;
    for (std::size_t at = sizeof(bias); at + kRecord <= size; at += kRecord) {
        qor::EngineInfoBytes bytes;
        std::memcpy(bytes.data(), data + at, bytes.size());
        std::wstring line;
        if (qor::Succeeded(qor::FormatEngineLine(qor::ReadEngineInfo(bytes), zone, line))) {
            text += line;
        }
    }
    return 0;
}
