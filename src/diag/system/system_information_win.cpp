#include "diag/system/system_information_win.h"

#include <windows.h>

#include <cstring>

#include "diag/system/system_information.h"
#include "platform/system_env.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/process_registry_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

using NtStatus = LONG;
using RtlTimeConversionFn = NtStatus(NTAPI*)(const LARGE_INTEGER* in, LARGE_INTEGER* out);
using LookupAccountSidFn = BOOL(WINAPI*)(LPCWSTR system, PSID sid, LPWSTR name, LPDWORD nameChars,
                                         LPWSTR domain, LPDWORD domainChars, PSID_NAME_USE use);

constexpr DWORD kAccountNameChars = 256;

// The token's user: TOKEN_USER and the largest SID.
struct TokenUserBuffer {
    alignas(TOKEN_USER) BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    PSID Sid() noexcept { return reinterpret_cast<TOKEN_USER*>(bytes)->User.Sid; }
};

ResultCode ReadTokenUser(TokenUserBuffer& user) noexcept {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | READ_CONTROL, token.Put())) {
        return ResultFromWin32(GetLastError());
    }
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, user.bytes, sizeof(user.bytes), &size)) {
        return ResultFromWin32(GetLastError());
    }
    return rc::Ok;
}

class WinAccountSource final : public AccountSource {
public:
    ResultCode TokenUser(SidSummary& sid) override {
        TokenUserBuffer user;
        if (const ResultCode code = ReadTokenUser(user); Failed(code)) return code;
        const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(user.Sid());
        std::uint64_t value = 0;
        for (const BYTE part : authority->Value) value = value << 8 | part;
        sid.authority = value;
        sid.subAuthorities.clear();
        const UCHAR count = *GetSidSubAuthorityCount(user.Sid());
        for (UCHAR i = 0; i < count; ++i) sid.subAuthorities.push_back(*GetSidSubAuthority(user.Sid(), i));
        return rc::Ok;
    }

    bool AccountLookupLoaded() override { return GetModuleHandleW(L"advapi32.dll") != nullptr; }

    // Asked once more with the sizes the first call reports.
    ResultCode LookupAccountName(std::wstring& name) override {
        static const auto lookup =
            LookupExport<LookupAccountSidFn>(L"advapi32.dll", "LookupAccountSidW");
        if (!lookup) return ResultFromWin32(ERROR_PROC_NOT_FOUND);
        TokenUserBuffer user;
        if (const ResultCode code = ReadTokenUser(user); Failed(code)) return code;
        DWORD nameChars = kAccountNameChars, domainChars = kAccountNameChars;
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::wstring account(nameChars + 1, L'\0'), domain(domainChars + 1, L'\0');
            SID_NAME_USE use;
            if (lookup(nullptr, user.Sid(), account.data(), &nameChars, domain.data(),
                       &domainChars, &use)) {
                account.resize(wcsnlen(account.c_str(), account.size()));
                name = std::move(account);
                return rc::Ok;
            }
        }
        return ResultFromWin32(GetLastError());
    }

    ResultCode Environment(const std::wstring& variable, std::wstring& value) override {
        return ReadEnvironmentPath(variable, value);
    }

    RegistryReader& Registry() override { return ProcessRegistry(); }
};

class WinVolumeSource final : public VolumeSource {
public:
    std::uint32_t FindFirst(std::wstring& volume) override {
        wchar_t name[MAX_PATH] = {};
        search_.Reset(FindFirstVolumeW(name, MAX_PATH));
        if (!search_) return GetLastError();
        volume = name;
        return 0;
    }
    std::uint32_t FindNext(std::wstring& volume) override {
        wchar_t name[MAX_PATH] = {};
        if (!FindNextVolumeW(search_.Get(), name, MAX_PATH)) return GetLastError();
        volume = name;
        return 0;
    }
    std::uint32_t DosDevice(const std::wstring& name, std::wstring& device) override {
        wchar_t target[MAX_PATH] = {};
        if (QueryDosDeviceW(name.c_str(), target, MAX_PATH) == 0) return GetLastError();
        device = target;
        return 0;
    }
    std::uint32_t PathNames(const std::wstring& volume, std::vector<wchar_t>& buffer,
                            std::uint32_t& needed) override {
        DWORD length = 0;
        if (!GetVolumePathNamesForVolumeNameW(volume.c_str(), buffer.data(),
                                              static_cast<DWORD>(buffer.size()), &length)) {
            const DWORD error = GetLastError();
            needed = length;
            return error;
        }
        return 0;
    }

private:
    VolumeFindHandle search_;
};

class WinSystemClock final : public SystemClock {
public:
    std::int64_t Now() override { return CurrentSystemTime(); }
    ResultCode ToLocal(std::int64_t universal, std::int64_t& local) override {
        static const auto convert =
            LookupExport<RtlTimeConversionFn>(L"ntdll.dll", "RtlSystemTimeToLocalTime");
        return Convert(convert, universal, local);
    }
    ResultCode ToUniversal(std::int64_t local, std::int64_t& universal) override {
        static const auto convert =
            LookupExport<RtlTimeConversionFn>(L"ntdll.dll", "RtlLocalTimeToSystemTime");
        return Convert(convert, local, universal);
    }

private:
    static ResultCode Convert(RtlTimeConversionFn convert, std::int64_t in, std::int64_t& out) {
        if (!convert) return ResultFromWin32(ERROR_PROC_NOT_FOUND);
        LARGE_INTEGER from, to;
        from.QuadPart = in;
        if (const NtStatus status = convert(&from, &to); status < 0) {
            return ResultFromNtStatus(static_cast<std::uint32_t>(status));
        }
        out = to.QuadPart;
        return rc::Ok;
    }
};

}  // namespace

ResultCode DumpSystemInformation(Console& console, std::wstring& text) noexcept {
    WinAccountSource accounts;
    WinVolumeSource volumes;
    WinSystemClock clock;
    SystemSources sources{accounts, volumes, clock, console};
    return DumpSystemInformation(GetOsVersionRecord(), sources, text);
}

}  // namespace qor
