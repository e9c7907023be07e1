#include "diag/network/connection_table_win.h"

#include <windows.h>

#include <new>
#include <utility>

#include "platform/win/library_load_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

// The table classes and families are plain numbers here.
using GetExtendedTableFn = DWORD(WINAPI*)(PVOID table, PDWORD size, BOOL order, ULONG family,
                                          int tableClass, ULONG reserved);

constexpr ULONG kFamilyV4 = 2;   // AF_INET
constexpr ULONG kFamilyV6 = 23;  // AF_INET6
constexpr int kTcpOwnerPidAll = 5;
constexpr int kUdpOwnerPid = 1;

class IpHelperTables final : public ConnectionTableReader {
public:
    IpHelperTables(LibraryHandle library, GetExtendedTableFn tcp, GetExtendedTableFn udp) noexcept
        : library_(std::move(library)), tcp_(tcp), udp_(udp) {}

    std::uint32_t Read(ConnectionTable table, void* buffer,
                       std::uint32_t& size) noexcept override {
        DWORD bytes = size;
        DWORD error = ERROR_INVALID_PARAMETER;
        switch (table) {
            case ConnectionTable::Tcp4:
                error = tcp_(buffer, &bytes, TRUE, kFamilyV4, kTcpOwnerPidAll, 0);
                break;
            case ConnectionTable::Tcp6:
                error = tcp_(buffer, &bytes, TRUE, kFamilyV6, kTcpOwnerPidAll, 0);
                break;
            case ConnectionTable::Udp4:
                error = udp_(buffer, &bytes, TRUE, kFamilyV4, kUdpOwnerPid, 0);
                break;
            case ConnectionTable::Udp6:
                error = udp_(buffer, &bytes, TRUE, kFamilyV6, kUdpOwnerPid, 0);
                break;
        }
        size = bytes;
        return error;
    }

private:
    LibraryHandle library_;
    GetExtendedTableFn tcp_, udp_;
};

}  // namespace

std::unique_ptr<ConnectionTableReader> OpenIpHelperTables() noexcept {
    LibraryHandle library(LoadSystemLibrary(L"iphlpapi.dll"));
    const auto tcp = LookupExport<GetExtendedTableFn>(library.Get(), "GetExtendedTcpTable");
    const auto udp = LookupExport<GetExtendedTableFn>(library.Get(), "GetExtendedUdpTable");
    if (!tcp || !udp) return nullptr;
    return std::unique_ptr<ConnectionTableReader>(
        new (std::nothrow) IpHelperTables(std::move(library), tcp, udp));
}

}  // namespace qor
