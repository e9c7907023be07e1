#include "common/result.h"

#include <array>
#include <optional>
#include <utility>

namespace qor {
namespace {

// Windows error number -> low 16 bits of the suite's code; searched in order.
constexpr std::array<std::pair<std::uint32_t, std::uint16_t>, 33> kWin32Map{{
    {2, 0x3D},    {3, 0x3E},    {6, 0x3F},   {4306, 0x40}, {4307, 0x41}, {30, 0x42},
    {29, 0x43},   {122, 0x44},  {13, 0x45},  {18, 0x46},   {52, 0x47},   {1630, 0x48},
    {24, 0x49},   {23, 0x4A},   {123, 0x4B}, {4312, 0x4C}, {487, 0x4D},  {12, 0x4E},
    {183, 0x4F},  {87, 0x02},   {131, 0x51}, {998, 0x52},  {14, 0x01},   {32, 0x53},
    {50, 0x54},   {4317, 0x55}, {1, 0x56},   {995, 0x57},  {5, 0x58},    {10061, 0x190},
    {126, 0x3E},  {80, 0x4F},   {112, 0x97},
}};

std::optional<std::uint16_t> MapWin32(std::uint32_t error) {
    for (const auto& [win32, low] : kWin32Map) {
        if (win32 == error) return low;
    }
    return std::nullopt;
}

constexpr std::uint32_t kStatusBufferOverflow = 0x80000005u;

}  // namespace

ResultCode MakeResultCode(unsigned severity, std::uint32_t win32Error) noexcept {
    const std::uint32_t sev = (severity & 3u) << 30;
    if (const auto low = MapWin32(win32Error)) {
        return static_cast<ResultCode>(sev | 0x20010000u | *low);
    }
    return static_cast<ResultCode>(sev | 0x00070000u | (win32Error & 0xFFFFu));
}

ResultCode ResultFromWin32(std::uint32_t win32Error) noexcept {
    return win32Error == 0 ? rc::Ok : MakeResultCode(3, win32Error);
}

ResultCode ResultFromNtStatusWith(std::uint32_t status, NtStatusToWin32Fn toWin32) noexcept {
    if (status == 0) return rc::Ok;
    if (status == kStatusBufferOverflow) return rc::BufferTooSmall;
    const unsigned severity = status >> 30;
    return MakeResultCode(severity == 0 ? 1 : severity, toWin32(status));
}

}  // namespace qor
