#include "platform/os_display_name.h"

#include <array>
#include <new>

#include "common/text_format.h"

namespace qor {
namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint16_t kArchitectureIa64 = 6;
constexpr std::uint16_t kArchitectureAmd64 = 9;

// Suite mask bits.
constexpr std::uint32_t kEnterprise = 0x0002;
constexpr std::uint32_t kDatacenter = 0x0080;
constexpr std::uint32_t kPersonal = 0x0200;
constexpr std::uint32_t kBlade = 0x0400;
constexpr std::uint32_t kStorageServer = 0x2000;
constexpr std::uint32_t kComputeServer = 0x4000;

constexpr const wchar_t* kGeneric = L"Microsoft(R) Windows(R)";

bool Has(std::uint32_t suite, std::uint32_t bit) { return (suite & bit) != 0; }

std::wstring Windows2000(bool workstation, std::uint32_t suite) {
    std::wstring name = L"Microsoft(R) Windows(R) 2000";
    if (workstation) {
        if (Has(suite, kPersonal)) name += L" Professional";
    } else if (Has(suite, kDatacenter)) {
        name += L" Datacenter Server";
    } else if (Has(suite, kEnterprise)) {
        name += L" Advanced Server";
    } else {
        name += L" Server";
    }
    return name;
}

std::wstring WindowsXp(bool workstation, std::uint32_t suite) {
    if (!workstation) return {};
    return Has(suite, kPersonal) ? L"Microsoft(R) Windows(R) XP Home Edition"
                                 : L"Microsoft(R) Windows(R) XP Professional";
}

const wchar_t* Server2003Suffix(ProcessorClass processor, std::uint32_t suite) {
    switch (processor) {
        case ProcessorClass::Ia64:
            if (Has(suite, kDatacenter)) return L" Datacenter Edition for Itanium-based Systems";
            if (Has(suite, kEnterprise)) return L" Enterprise Edition for Itanium-based Systems";
            return L"";
        case ProcessorClass::Amd64:
            if (Has(suite, kDatacenter)) return L" Datacenter x64 Edition";
            if (Has(suite, kEnterprise)) return L" Enterprise x64 Edition";
            return L" Standard x64 Edition";
        default:
            if (Has(suite, kComputeServer)) return L" Compute Cluster Edition";
            if (Has(suite, kDatacenter)) return L" Datacenter Edition";
            if (Has(suite, kEnterprise)) return L" Enterprise Edition";
            if (Has(suite, kBlade)) return L" Web Edition";
            return L" Standard Edition";
    }
}

std::wstring Server2003(bool workstation, ProcessorClass processor, std::uint32_t suite) {
    std::wstring name;
    if (suite == kStorageServer) {
        name = L"Microsoft(R) Windows(R) Storage Server 2003";
    } else if (workstation && processor == ProcessorClass::Amd64) {
        return L"Microsoft(R) Windows(R) XP Professional x64 Edition";
    } else {
        name = L"Microsoft(R) Windows(R) Server 2003";
    }
    if (!workstation) name += Server2003Suffix(processor, suite);
    return name;
}

const wchar_t* BitnessSuffix(ProcessorClass processor) {
    switch (processor) {
        case ProcessorClass::Amd64: return L" (64-bit)";
        case ProcessorClass::Ia64: return L" (64-bit Itanium)";
        default: return L" (32-bit)";
    }
}

// Indexed by the product type of 6.0 systems; 0 and 30 or more add nothing.
constexpr std::array<const wchar_t*, 30> kProductSuffixes{
    L"",
    L" Ultimate Edition",
    L" Home Basic Edition",
    L" Home Premium Edition",
    L" Enterprise Edition",
    L" Home Basic Edition",
    L" Business Edition",
    L" Server Standard Edition",
    L" Server Datacenter Edition",
    L" Small Business Server",
    L" Server Enterprise Edition",
    L" Starter Edition",
    L" Server Datacenter Edition - core",
    L" Server Standard Edition - core",
    L" Server Enterprise Edition - core",
    L" Server Enterprise Edition for Itanium-based Systems",
    L" Business Edition",
    L" Web Server Edition",
    L" Cluster Server Edition",
    L" Home Server Edition",
    L" Storage Server Express Edition",
    L" Storage Server Standard Edition",
    L" Storage Server Workgroup Edition",
    L" Storage Server Enterprise Edition",
    L" Server for Small Business Edition",
    L" Small Business Server Premium Edition",
    L" Home Premium Edition",
    L" Enterprise Edition",
    L" Ultimate Edition",
    L" Web Server Edition - core",
};

const wchar_t* ProductSuffix(std::uint32_t type) {
    return type < kProductSuffixes.size() ? kProductSuffixes[type] : L"";
}

// Base names of 6.0 to 6.3: workstation, server.
constexpr std::array<std::array<const wchar_t*, 2>, 4> kVersion6Names{{
    {L"Microsoft(R) Windows(R) Vista", L"Microsoft(R) Windows(R) Server 2008"},
    {L"Microsoft(R) Windows(R) 7", L"Microsoft(R) Windows(R) Server 2008 R2"},
    {L"Microsoft(R) Windows(R) 8", L"Microsoft(R) Windows(R) Server 2012"},
    {L"Microsoft(R) Windows(R) 8.1", L"Microsoft(R) Windows(R) Server 2012 R2"},
}};

ResultCode Version6Name(const OsVersionData& version, ProcessorClass processor,
                        OsInfoSource& source, std::wstring& name) {
    const bool workstation = version.productType == kWorkstation;
    name = kVersion6Names[version.minor][workstation ? 0 : 1];
    if (version.minor == 0) {
        std::uint32_t type = 0;
        switch (source.GetProductType(6, 0, 0, 0, type)) {
            case ProductQuery::Unavailable: name = kGeneric; return rc::Ok;
            case ProductQuery::Refused: return kOsProductUnknown;
            case ProductQuery::Answered: name += ProductSuffix(type); break;
        }
    }
    name += BitnessSuffix(processor);
    return rc::Ok;
}

ResultCode ProductName(const OsVersionData& version, ProcessorClass processor,
                       OsInfoSource& source, std::wstring& name) {
    const bool workstation = version.productType == kWorkstation;
    if (version.major == 5 && version.minor <= 2) {
        switch (version.minor) {
            case 0: name = Windows2000(workstation, version.suiteMask); break;
            case 1: name = WindowsXp(workstation, version.suiteMask); break;
            default: name = Server2003(workstation, processor, version.suiteMask); break;
        }
        return rc::Ok;
    }
    if (version.major == 6 && version.minor < kVersion6Names.size()) {
        return Version6Name(version, processor, source, name);
    }
    name = kGeneric;
    return rc::Ok;
}

}  // namespace

ProcessorClass ProcessorClassFromArchitecture(std::optional<std::uint16_t> architecture) noexcept {
    if (architecture == kArchitectureIa64) return ProcessorClass::Ia64;
    if (architecture == kArchitectureAmd64) return ProcessorClass::Amd64;
    return ProcessorClass::X86;
}

ResultCode QueryProcessorClass(OsInfoSource& source, ProcessorClass& out) noexcept {
    std::optional<std::uint16_t> architecture;
    if (const ResultCode code = source.GetNativeArchitecture(architecture); Failed(code)) {
        return code;
    }
    out = ProcessorClassFromArchitecture(architecture);
    return rc::Ok;
}

ResultCode NameOsVersion(const OsVersionData& version, ProcessorClass processor,
                         OsInfoSource& source, std::wstring& out) noexcept {
    try {
        std::wstring name;
        if (const ResultCode code = ProductName(version, processor, source, name); Failed(code)) {
            return code;
        }
        name += FormatText(L", %d.%d.%d %ls Build %d", static_cast<int>(version.major),
                           static_cast<int>(version.minor), static_cast<int>(version.build),
                           version.csdText.c_str(), static_cast<int>(version.build));
        out = std::move(name);
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode BuildOsDisplayName(OsInfoSource& source, std::wstring& out) noexcept {
    OsVersionData version;
    if (const ResultCode code = source.GetVersion(version); Failed(code)) return code;
    ProcessorClass processor = ProcessorClass::X86;
    if (const ResultCode code = QueryProcessorClass(source, processor); Failed(code)) return code;
    return NameOsVersion(version, processor, source, out);
}

}  // namespace qor
