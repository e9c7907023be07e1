#pragma once
// The adapter layer's system: IP Helper and RAS loaded at run time, the sharing manager.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <ras.h>

#include "diag/network/os_adapters.h"
#include "platform/win/unique_handle_win.h"

namespace qor {

class WinAdapterSystem final : public AdapterSystem {
public:
    WinAdapterSystem();

    bool HasAdapterQuery() noexcept override { return getAdapters_ != nullptr; }
    std::uint32_t QueryAdapters(std::uint32_t& size, std::vector<AdapterRow>& rows) override;
    [[nodiscard]] ResultCode BestInterface(AddressFamily family, bool extended,
                                           std::uint32_t& index) noexcept override;
    std::uint32_t EnumRasConnections(std::uint32_t& size,
                                     std::vector<RasConnectionRow>& rows) override;
    std::uint32_t EnumPhoneBookEntries(std::uint32_t& size,
                                       std::vector<std::wstring>& names) override;
    [[nodiscard]] ResultCode QuerySharing(std::vector<SharedConnectionRow>& rows) override;
    bool OpenDevice(const std::wstring& path) noexcept override;

private:
    using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    using GetBestInterfaceFn = DWORD(WINAPI*)(IPAddr, PDWORD);
    using GetBestInterfaceExFn = DWORD(WINAPI*)(struct sockaddr*, PDWORD);
    using RasEnumConnectionsFn = DWORD(WINAPI*)(LPRASCONNW, LPDWORD, LPDWORD);
    using RasEnumEntriesFn = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, LPRASENTRYNAMEW, LPDWORD, LPDWORD);

    LibraryHandle ipHelper_;
    LibraryHandle ras_;
    GetAdaptersAddressesFn getAdapters_ = nullptr;
    GetBestInterfaceFn bestInterface_ = nullptr;
    GetBestInterfaceExFn bestInterfaceEx_ = nullptr;
    RasEnumConnectionsFn rasConnections_ = nullptr;
    RasEnumEntriesFn rasEntries_ = nullptr;
};

}  // namespace qor
