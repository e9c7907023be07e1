#pragma once
// The system information dump: system name, platform, user and computer, volumes, clock.
#include <cstdint>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/result.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "platform/system_env.h"

namespace qor {

namespace rc {
inline constexpr ResultCode VolumeSearchFailed = SuiteError(0x4C);
}

// "x86", "AMD64", "IA64", or "OTHER" for a value outside the class.
const wchar_t* ProcessorClassName(ProcessorClass processorClass) noexcept;

// A user SID reduced to what the service accounts are told apart by.
struct SidSummary {
    std::uint64_t authority = 0;  // the 48-bit identifier authority
    std::vector<std::uint32_t> subAuthorities;
};

// "SYSTEM", "LOCAL SERVICE" or "NETWORK SERVICE"; null for any other SID.
const wchar_t* ServiceAccountName(const SidSummary& sid) noexcept;

class AccountSource {
public:
    virtual ~AccountSource() = default;
    // The user SID of the process token.
    [[nodiscard]] virtual ResultCode TokenUser(SidSummary& sid) = 0;
    virtual bool AccountLookupLoaded() = 0;
    // The account name (without its domain) of the process token's user.
    [[nodiscard]] virtual ResultCode LookupAccountName(std::wstring& name) = 0;
    // rc::EnvironmentVariableNotSet (not a failure) when the variable does not exist.
    [[nodiscard]] virtual ResultCode Environment(const std::wstring& name, std::wstring& value) = 0;
    virtual RegistryReader& Registry() = 0;
};

[[nodiscard]] ResultCode LookupUserName(AccountSource& source, std::wstring& name);
[[nodiscard]] ResultCode LookupComputerName(AccountSource& source, std::wstring& name);

inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorMoreData = 234;
// The mount path list is asked for again at most this many times.
inline constexpr int kMaxVolumePathReads = 8;

// Calls answer 0 or a Windows error number.
class VolumeSource {
public:
    virtual ~VolumeSource() = default;
    // The volume search; the source closes it when destroyed.
    virtual std::uint32_t FindFirst(std::wstring& volume) = 0;
    virtual std::uint32_t FindNext(std::wstring& volume) = 0;
    virtual std::uint32_t DosDevice(const std::wstring& name, std::wstring& device) = 0;
    // Fills `buffer` with the list of mount paths (each ended by a terminator, the list by an
    // empty one); on kErrorMoreData `needed` is the length it asks for.
    virtual std::uint32_t PathNames(const std::wstring& volume, std::vector<wchar_t>& buffer,
                                    std::uint32_t& needed) = 0;
};

// The strings of a terminator-separated list, up to its empty string or its end.
std::vector<std::wstring> SplitStringList(const wchar_t* list, std::size_t length);

// Each mount path of the volume followed by "\n"; nothing when the list cannot be had.
[[nodiscard]] ResultCode AppendVolumePaths(VolumeSource& volumes, const std::wstring& volume,
                                           std::wstring& text);

// One block per volume; bad names and failing device queries end the walk with a message on
// the console.
[[nodiscard]] ResultCode DumpVolumes(VolumeSource& volumes, Console& console, std::wstring& text);

// Times in 100-ns units since 1601.
class SystemClock {
public:
    virtual ~SystemClock() = default;
    virtual std::int64_t Now() = 0;
    [[nodiscard]] virtual ResultCode ToLocal(std::int64_t universal, std::int64_t& local) = 0;
    [[nodiscard]] virtual ResultCode ToUniversal(std::int64_t local, std::int64_t& universal) = 0;
};

inline constexpr std::int64_t kTicksPerHour = 36'000'000'000;
inline constexpr std::int64_t kTicksPerMinute = 600'000'000;

// "Sun, 06 Dec 2026 15:11:35 +0530"; `offset` is local minus universal time.
[[nodiscard]] ResultCode FormatLocalTime(std::int64_t local, std::int64_t offset,
                                         std::wstring& out);
// "2026-12-06 09:41:35,123".
[[nodiscard]] ResultCode FormatUniversalTime(std::int64_t universal, std::wstring& out);

// "Local time: " and "System time: " lines; a time that cannot be had or formatted is left out.
[[nodiscard]] ResultCode AppendTimeLines(SystemClock& clock, std::wstring& text);

struct SystemSources {
    AccountSource& accounts;
    VolumeSource& volumes;
    SystemClock& clock;
    Console& console;
};

[[nodiscard]] ResultCode DumpSystemInformation(const OsVersionRecord& os,
                                               SystemSources& sources, std::wstring& text) noexcept;

}  // namespace qor
