// The mount path list of a volume: UTF-16 strings, each ended by a terminator, the list by an
// empty one, possibly cut short or asking for ever more room.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "diag/system/system_information.h"

namespace {

class ReplayVolumes final : public qor::VolumeSource {
public:
    ReplayVolumes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t FindFirst(std::wstring&) override { return 18; }
    std::uint32_t FindNext(std::wstring&) override { return 18; }
    std::uint32_t DosDevice(const std::wstring&, std::wstring&) override { return 2; }
    // The first two bytes choose the length asked for when the list does not fit.
    std::uint32_t PathNames(const std::wstring&, std::vector<wchar_t>& buffer,
                            std::uint32_t& needed) override {
        const std::size_t chars = size_ > 2 ? (size_ - 2) / 2 : 0;
        if (chars > buffer.size()) {
            needed = size_ >= 2 ? (data_[0] | data_[1] << 8) : 0;
            return qor::kErrorMoreData;
        }
        for (std::size_t i = 0; i < chars; ++i) {
            buffer[i] = static_cast<wchar_t>(data_[2 + 2 * i] | data_[3 + 2 * i] << 8);
        }
        return 0;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplayVolumes volumes(data, size);
    std::wstring text;
    (void)qor::AppendVolumePaths(volumes, L"\\\\?\\Volume{0}\\", text);
    return 0;
}
