#include "platform/os_version.h"

#include "platform/os_display_name.h"
#include "platform/os_info_source.h"

namespace qor {
namespace {

constexpr std::uint8_t kWorkstation = 1;

OsVersionRecord& ProcessRecord() noexcept {
    static OsVersionRecord record;
    return record;
}

bool AtLeast(const OsVersionRecord& r, std::uint32_t major, std::uint32_t minor) {
    return r.majorVersion > major || (r.majorVersion == major && r.minorVersion >= minor);
}

}  // namespace

bool OsVersionRecord::IsWindowsXp() const noexcept {
    if (!filled || majorVersion != 5) return false;
    if (processorClass == ProcessorClass::Amd64) {
        return minorVersion == 2 && productType == kWorkstation;
    }
    return minorVersion == 1;
}

bool OsVersionRecord::IsXpOrLater() const noexcept { return filled && AtLeast(*this, 5, 1); }

bool OsVersionRecord::IsServer2003Family() const noexcept {
    return filled && majorVersion == 5 && minorVersion >= 2 && productType != kWorkstation;
}

bool OsVersionRecord::IsVistaOrLater() const noexcept { return filled && majorVersion >= 6; }

bool OsVersionRecord::IsWindows8OrLater() const noexcept { return filled && AtLeast(*this, 6, 2); }

bool OsVersionRecord::Is64BitSystem() const noexcept {
    return filled &&
           (processorClass == ProcessorClass::Amd64 || processorClass == ProcessorClass::Ia64);
}

const OsVersionRecord& GetOsVersionRecord() noexcept { return ProcessRecord(); }

ResultCode FillOsVersionRecord(OsInfoSource& source, OsVersionRecord& record) noexcept {
    if (record.filled) return rc::Ok;
    BasicSystemData basic;
    if (const ResultCode code = source.GetBasicInformation(basic); Failed(code)) return code;
    OsVersionData version;
    if (const ResultCode code = source.GetVersion(version); Failed(code)) return code;
    ProcessorClass processor = ProcessorClass::X86;
    if (const ResultCode code = QueryProcessorClass(source, processor); Failed(code)) return code;
    std::wstring name;
    if (const ResultCode code = NameOsVersion(version, processor, source, name); Failed(code)) {
        return code;
    }
    constexpr std::size_t kMax = OsVersionRecord::kMaxDisplayName;
    if (name.size() > kMax) name.resize(kMax);

    record.majorVersion = version.major;
    record.minorVersion = version.minor;
    record.buildNumber = version.build;
    record.fourthVersionWord = 0;
    record.processorClass = processor;
    record.suiteMask = version.suiteMask;
    record.productType = version.productType;
    record.servicePackMajor = static_cast<std::uint8_t>(version.servicePackMajor);
    record.servicePackMinor = static_cast<std::uint8_t>(version.servicePackMinor);
    record.displayName = std::move(name);
    // The system reports the count as a signed byte; no count is negative.
    record.numberOfProcessors = static_cast<std::uint8_t>(basic.numberOfProcessors);
    record.pageSize = basic.pageSize;
    record.allocationGranularity = basic.allocationGranularity;
    record.filled = true;
    return rc::Ok;
}

ResultCode FillOsVersionRecord(OsInfoSource& source) noexcept {
    return FillOsVersionRecord(source, ProcessRecord());
}

}  // namespace qor
