// ntdll answers for the operating-system record; optional functions looked up once.
#include "platform/win/os_version_win.h"

#include <windows.h>

#include <cwchar>
#include <new>

#include "platform/os_info_source.h"
#include "platform/os_version.h"
#include "platform/win/proc_address_win.h"

namespace qor {
namespace {

using NtStatus = LONG;
using RtlGetVersionFn = NtStatus(NTAPI*)(OSVERSIONINFOEXW* info);
using RtlGetProductInfoFn = BOOLEAN(NTAPI*)(ULONG major, ULONG minor, ULONG spMajor,
                                            ULONG spMinor, ULONG* type);
using QuerySystemInformationFn = NtStatus(NTAPI*)(ULONG infoClass, void* info, ULONG length,
                                                  ULONG* returned);

constexpr ULONG kSystemBasicInformation = 0;
constexpr ULONG kSystemProcessorInformation = 1;

// SYSTEM_BASIC_INFORMATION: 44 bytes in a 32-bit process.
struct BasicInformation {
    ULONG reserved;
    ULONG timerResolution;
    ULONG pageSize;
    ULONG numberOfPhysicalPages;
    ULONG lowestPhysicalPageNumber;
    ULONG highestPhysicalPageNumber;
    ULONG allocationGranularity;
    ULONG_PTR minimumUserModeAddress;
    ULONG_PTR maximumUserModeAddress;
    ULONG_PTR activeProcessorsAffinityMask;
    CCHAR numberOfProcessors;
};
static_assert(sizeof(void*) != 4 || sizeof(BasicInformation) == 44);

// SYSTEM_PROCESSOR_INFORMATION.
struct ProcessorInformation {
    USHORT architecture;
    USHORT level;
    USHORT revision;
    USHORT maximumProcessors;
    ULONG featureBits;
};
static_assert(sizeof(ProcessorInformation) == 12);

const ResultCode kFunctionMissing = ResultFromWin32(ERROR_PROC_NOT_FOUND);
const ResultCode kShortAnswer = ResultFromWin32(ERROR_INVALID_DATA);

struct NtdllFunctions {
    RtlGetVersionFn getVersion;
    RtlGetProductInfoFn getProductInfo;
    QuerySystemInformationFn getNativeSystemInformation;
    QuerySystemInformationFn querySystemInformation;
};

const NtdllFunctions& Ntdll() noexcept {
    static const NtdllFunctions functions = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return NtdllFunctions{
            LookupExport<RtlGetVersionFn>(ntdll, "RtlGetVersion"),
            LookupExport<RtlGetProductInfoFn>(ntdll, "RtlGetProductInfo"),
            LookupExport<QuerySystemInformationFn>(ntdll, "RtlGetNativeSystemInformation"),
            LookupExport<QuerySystemInformationFn>(ntdll, "ZwQuerySystemInformation"),
        };
    }();
    return functions;
}

// Calls a system-information query for exactly one structure.
template <typename Info>
ResultCode QueryInformation(QuerySystemInformationFn query, ULONG infoClass, Info& info) noexcept {
    ULONG returned = 0;
    const NtStatus status = query(infoClass, &info, sizeof(info), &returned);
    if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
    return returned < sizeof(info) ? kShortAnswer : rc::Ok;
}

class NtdllOsInfoSource final : public OsInfoSource {
public:
    ResultCode GetVersion(OsVersionData& out) noexcept override {
        const RtlGetVersionFn getVersion = Ntdll().getVersion;
        if (getVersion == nullptr) return kFunctionMissing;
        OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        const NtStatus status = getVersion(&info);
        if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
        try {
            const std::size_t csdLength = wcsnlen(info.szCSDVersion, std::size(info.szCSDVersion));
            out.csdText.assign(info.szCSDVersion, csdLength);
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
        out.major = info.dwMajorVersion;
        out.minor = info.dwMinorVersion;
        out.build = info.dwBuildNumber;
        out.servicePackMajor = info.wServicePackMajor;
        out.servicePackMinor = info.wServicePackMinor;
        out.suiteMask = info.wSuiteMask;
        out.productType = info.wProductType;
        return rc::Ok;
    }

    ResultCode GetNativeArchitecture(std::optional<std::uint16_t>& out) noexcept override {
        const QuerySystemInformationFn query = Ntdll().getNativeSystemInformation;
        if (query == nullptr) {
            out.reset();
            return rc::Ok;
        }
        ProcessorInformation info{};
        const ResultCode code = QueryInformation(query, kSystemProcessorInformation, info);
        if (Failed(code)) return code;
        out = info.architecture;
        return rc::Ok;
    }

    ProductQuery GetProductType(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor,
                                std::uint32_t spMinor, std::uint32_t& type) noexcept override {
        const RtlGetProductInfoFn getProductInfo = Ntdll().getProductInfo;
        if (getProductInfo == nullptr) return ProductQuery::Unavailable;
        ULONG value = 0;
        if (!getProductInfo(major, minor, spMajor, spMinor, &value)) return ProductQuery::Refused;
        type = value;
        return ProductQuery::Answered;
    }

    ResultCode GetBasicInformation(BasicSystemData& out) noexcept override {
        const QuerySystemInformationFn query = Ntdll().querySystemInformation;
        if (query == nullptr) return kFunctionMissing;
        BasicInformation info{};
        const ResultCode code = QueryInformation(query, kSystemBasicInformation, info);
        if (Failed(code)) return code;
        out.numberOfProcessors = info.numberOfProcessors;
        out.pageSize = info.pageSize;
        out.allocationGranularity = info.allocationGranularity;
        return rc::Ok;
    }
};

}  // namespace

ResultCode InitOsVersionRecord() noexcept {
    NtdllOsInfoSource source;
    return FillOsVersionRecord(source);
}

}  // namespace qor
