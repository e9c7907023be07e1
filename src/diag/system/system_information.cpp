#include "diag/system/system_information.h"

#include <new>
#include <optional>

#include "common/text_format.h"
#include "common/time_fields.h"

namespace qor {
namespace {

constexpr const wchar_t* kComputerNameKey =
    L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr const wchar_t* kVolumePrefix = L"\\\\?\\";
constexpr std::size_t kVolumePrefixLength = 4;
constexpr std::uint32_t kFirstPathListLength = 261;

constexpr const wchar_t* kDayNames[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
constexpr const wchar_t* kMonthNames[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                          L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

// A set variable, even an empty one, is taken.
bool FromEnvironment(AccountSource& source, const wchar_t* variable, std::wstring& out) {
    std::wstring value;
    if (source.Environment(variable, value) != rc::Ok) return false;
    out = std::move(value);
    return true;
}

bool IsWellFormedVolumeName(const std::wstring& volume) {
    return volume.size() > kVolumePrefixLength && volume.compare(0, kVolumePrefixLength, kVolumePrefix) == 0 &&
           volume.back() == L'\\';
}

// `ended` ends the walk (its message printed); a failure is a failing append.
ResultCode AppendVolume(VolumeSource& volumes, Console& console, const std::wstring& volume,
                        std::wstring& text, bool& ended) {
    ended = true;
    if (!IsWellFormedVolumeName(volume)) {
        console.Write(FormatText(L"FindFirstVolumeW/FindNextVolumeW returned a bad path: %ls\n",
                                 volume.c_str()));
        return rc::Ok;
    }
    const std::wstring name =
        volume.substr(kVolumePrefixLength, volume.size() - kVolumePrefixLength - 1);
    std::wstring device;
    if (const std::uint32_t error = volumes.DosDevice(name, device); error != 0) {
        console.Write(FormatText(L"QueryDosDeviceW failed with error code %d\n",
                                 static_cast<int>(error)));
        return rc::Ok;
    }
    text += L"\nFound a device: " + device + L"\nVolume name: " + volume + L"\nPaths:";
    ended = false;
    return AppendVolumePaths(volumes, volume, text);
}

}  // namespace

const wchar_t* ProcessorClassName(ProcessorClass processorClass) noexcept {
    switch (processorClass) {
        case ProcessorClass::X86: return L"x86";
        case ProcessorClass::Amd64: return L"AMD64";
        case ProcessorClass::Ia64: return L"IA64";
    }
    return L"OTHER";
}

const wchar_t* ServiceAccountName(const SidSummary& sid) noexcept {
    constexpr std::uint64_t kNtAuthority = 5;
    if (sid.authority != kNtAuthority || sid.subAuthorities.size() != 1) return nullptr;
    switch (sid.subAuthorities[0]) {
        case 18: return L"SYSTEM";
        case 19: return L"LOCAL SERVICE";
        case 20: return L"NETWORK SERVICE";
    }
    return nullptr;
}

ResultCode LookupUserName(AccountSource& source, std::wstring& name) {
    SidSummary sid;
    if (const ResultCode code = source.TokenUser(sid); Failed(code)) return code;
    if (const wchar_t* service = ServiceAccountName(sid)) {
        name = service;
        return rc::Ok;
    }
    std::wstring account;
    if (source.AccountLookupLoaded() && Succeeded(source.LookupAccountName(account))) {
        name = std::move(account);
        return rc::Ok;
    }
    if (!FromEnvironment(source, L"USERNAME", name)) name.clear();
    return rc::Ok;
}

ResultCode LookupComputerName(AccountSource& source, std::wstring& name) {
    if (FromEnvironment(source, L"_CLUSTER_NETWORK_NAME_", name)) return rc::Ok;
    if (FromEnvironment(source, L"COMPUTERNAME", name)) return rc::Ok;
    static constexpr const wchar_t* kValues[] = {L"ActiveComputerName", L"ComputerName"};
    std::optional<std::wstring> value;
    if (const ResultCode read = source.Registry().ReadFirstString(
            RegistryRoot::LocalMachine, kComputerNameKey, kValues, RegistryView::Default, value);
        Failed(read)) {
        return read;
    }
    name = value ? std::move(*value) : L"localhost";
    return rc::Ok;
}

std::vector<std::wstring> SplitStringList(const wchar_t* list, std::size_t length) {
    std::vector<std::wstring> strings;
    std::size_t start = 0;
    while (start < length && list[start] != L'\0') {
        std::size_t end = start;
        while (end < length && list[end] != L'\0') ++end;
        strings.emplace_back(list + start, end - start);
        start = end + 1;
    }
    return strings;
}

ResultCode AppendVolumePaths(VolumeSource& volumes, const std::wstring& volume,
                             std::wstring& text) {
    try {
        std::vector<wchar_t> buffer(kFirstPathListLength, L'\0');
        for (int read = 0;; ++read) {
            std::uint32_t needed = 0;
            const std::uint32_t error = volumes.PathNames(volume, buffer, needed);
            if (error == 0) break;
            if (error != kErrorMoreData || read + 1 >= kMaxVolumePathReads) return rc::Ok;
            buffer.assign(needed, L'\0');
        }
        for (const std::wstring& path : SplitStringList(buffer.data(), buffer.size())) {
            text += path;
            text += L'\n';
        }
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DumpVolumes(VolumeSource& volumes, Console& console, std::wstring& text) {
    try {
        std::wstring volume;
        if (volumes.FindFirst(volume) != 0) return rc::VolumeSearchFailed;
        for (;;) {
            bool ended = false;
            if (const ResultCode code = AppendVolume(volumes, console, volume, text, ended);
                Failed(code) || ended) {
                return code;
            }
            if (const std::uint32_t error = volumes.FindNext(volume); error != 0) {
                if (error != kErrorNoMoreFiles) {
                    console.Write(FormatText(L"FindNextVolumeW failed with error code %d\n",
                                             static_cast<int>(error)));
                }
                return rc::Ok;
            }
        }
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode FormatLocalTime(std::int64_t local, std::int64_t offset, std::wstring& out) {
    TimeFields t;
    if (TimeFieldsFromSystemTime(local, t) != rc::Ok || t.weekday > 6 || t.month < 1 ||
        t.month > 12) {
        return rc::TimeBefore1970;
    }
    // The sign is the offset's own, also for a zone less than an hour west.
    const std::int64_t magnitude = offset < 0 ? -offset : offset;
    const std::wstring line = FormatText(
        L"%ls, %.2d %ls %.4d %.2d:%.2d:%.2d %ls%.2d%.2d", kDayNames[t.weekday], int{t.day},
        kMonthNames[t.month - 1], int{t.year}, int{t.hour}, int{t.minute}, int{t.second},
        offset < 0 ? L"-" : L"+", static_cast<int>(magnitude / kTicksPerHour),
        static_cast<int>(magnitude % kTicksPerHour / kTicksPerMinute));
    if (line.empty()) return rc::OutOfMemory;
    out = line;
    return rc::Ok;
}

ResultCode FormatUniversalTime(std::int64_t universal, std::wstring& out) {
    TimeFields t;
    if (TimeFieldsFromSystemTime(universal, t) != rc::Ok) return rc::TimeBefore1970;
    const std::wstring line =
        FormatText(L"%04d-%02d-%02d %02d:%02d:%02d,%03d", int{t.year}, static_cast<int>(t.month),
                   int{t.day}, int{t.hour}, int{t.minute}, int{t.second}, int{t.millisecond});
    if (line.empty()) return rc::OutOfMemory;
    out = line;
    return rc::Ok;
}

ResultCode AppendTimeLines(SystemClock& clock, std::wstring& text) {
    try {
        const std::int64_t now = clock.Now();
        std::int64_t local = 0, back = 0;
        std::wstring line;
        if (Succeeded(clock.ToLocal(now, local)) && Succeeded(clock.ToUniversal(local, back)) &&
            FormatLocalTime(local, local - back, line) == rc::Ok) {
            text += L"Local time: " + line + L"\n";
        }
        if (FormatUniversalTime(now, line) == rc::Ok) text += L"System time: " + line + L"\n";
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DumpSystemInformation(const OsVersionRecord& os, SystemSources& sources,
                                 std::wstring& text) noexcept {
    try {
        std::wstring user, computer;
        if (const ResultCode code = LookupUserName(sources.accounts, user); Failed(code)) {
            return code;
        }
        if (const ResultCode code = LookupComputerName(sources.accounts, computer);
            Failed(code)) {
            return code;
        }
        text += os.displayName + L"\n";
        text += FormatText(L"Platform %ls, CPUs %i\n", ProcessorClassName(os.processorClass),
                           static_cast<int>(os.numberOfProcessors));
        text += L"User " + user + L", Computer " + computer + L"\n\n";
        if (const ResultCode code = DumpVolumes(sources.volumes, sources.console, text);
            Failed(code)) {
            return code;
        }
        text += L"\n\n";
        return AppendTimeLines(sources.clock, text);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
