#include "common/result_names.h"

#include <array>
#include <utility>

namespace qor {
namespace {

constexpr std::uint32_t kFacilityMask = 0x2FFF0000u;  // the suite bit and the facility
constexpr std::uint32_t kSuiteFacility = 0x20010000u;
constexpr std::uint32_t kWin32Facility = 0x00070000u;

// Low 16 bits of the suite's codes: every code the Windows error table maps to, and the
// suite's own. 0x20 is left out: two parts of the program use it for different things.
constexpr std::array<std::pair<std::uint16_t, CodeName>, 38> kNames{{
    {0x01, {L"OutOfMemory", L"out of memory"}},
    {0x02, {L"ArgumentMissing", L"a required argument is missing or invalid"}},
    {0x0E, {L"EndOfEntries", L"no more directory entries"}},
    {0x13, {L"RegistryKeyNotFound", L"registry key not found"}},
    {0x14, {L"RegistryWrongType", L"registry value of an unexpected type"}},
    {0x32, {L"ServiceStartStalled", L"the service did not finish starting"}},
    {0x34, {L"ServiceDatabaseLocked", L"the service database stayed locked"}},
    {0x3C, {L"DirectoryKindOutOfRange", L"directory kind out of range"}},
    {0x3D, {L"FileNotFound", L"file not found"}},
    {0x3E, {L"PathNotFound", L"path not found, or the path is not a directory"}},
    {0x3F, {L"InvalidHandle", L"invalid handle"}},
    {0x40, {L"EmptyPath", L"an empty path where one is required"}},
    {0x41, {L"NotEmpty", L"not empty"}},
    {0x42, {L"ReadFault", L"read fault"}},
    {0x43, {L"WriteFault", L"write fault"}},
    {0x44, {L"BufferTooSmall", L"buffer too small"}},
    {0x45, {L"InvalidData", L"invalid data"}},
    {0x46, {L"NoMoreEntries", L"no more entries"}},
    {0x47, {L"DuplicateName", L"duplicate name"}},
    {0x48, {L"UnsupportedType", L"unsupported type"}},
    {0x49, {L"BadLength", L"bad length"}},
    {0x4A, {L"CrcError", L"data error (cyclic redundancy check)"}},
    {0x4B, {L"InvalidName", L"invalid name"}},
    {0x4C, {L"NotFound", L"object not found"}},
    {0x4D, {L"InvalidAddress", L"invalid address"}},
    {0x4E, {L"InvalidAccess", L"invalid access code"}},
    {0x4F, {L"AlreadyExists", L"already exists"}},
    {0x51, {L"NegativeSeek", L"seek before the start of the file"}},
    {0x52, {L"NoAccess", L"invalid access to memory"}},
    {0x53, {L"SharingViolation", L"the file is in use by another process"}},
    {0x54, {L"NotSupported", L"not supported"}},
    {0x55, {L"InvalidOperation", L"invalid operation"}},
    {0x56, {L"InvalidFunction", L"invalid function"}},
    {0x57, {L"OperationAborted", L"operation aborted"}},
    {0x58, {L"AccessDenied", L"access denied"}},
    {0x64, {L"TimeBefore1970", L"a time before 1970"}},
    {0x97, {L"DiskFull", L"disk full"}},
    {0x190, {L"ConnectionRefused", L"connection refused"}},
}};

// MalformedImage keeps its whole low half.
constexpr CodeName kMalformedImage{L"MalformedImage", L"malformed image"};

}  // namespace

const CodeName* FindSuiteCodeName(ResultCode code) noexcept {
    const auto bits = static_cast<std::uint32_t>(code);
    if ((bits & kFacilityMask) != kSuiteFacility) return nullptr;
    const auto low = static_cast<std::uint16_t>(bits & 0xFFFFu);
    if (low == (static_cast<std::uint32_t>(rc::MalformedImage) & 0xFFFFu)) return &kMalformedImage;
    for (const auto& [value, name] : kNames) {
        if (value == low) return &name;
    }
    return nullptr;
}

std::optional<std::uint32_t> Win32ErrorOf(ResultCode code) noexcept {
    const auto bits = static_cast<std::uint32_t>(code);
    if ((bits & kFacilityMask) != kWin32Facility) return std::nullopt;
    return bits & 0xFFFFu;
}

}  // namespace qor
