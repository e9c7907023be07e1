#include <windows.h>
#include <winternl.h>

#include "common/result.h"

namespace qor {
namespace {
std::uint32_t NtStatusToWin32(std::uint32_t status) {
    return RtlNtStatusToDosError(static_cast<NTSTATUS>(status));
}
}  // namespace

ResultCode ResultFromNtStatus(std::uint32_t status) noexcept {
    return ResultFromNtStatusWith(status, NtStatusToWin32);
}

}  // namespace qor
