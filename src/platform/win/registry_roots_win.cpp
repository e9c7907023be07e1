// The cache of predefined root keys and the system's bitness.
#include <windows.h>
#include <winternl.h>

#include <array>
#include <atomic>
#include <cwchar>
#include <optional>

#include "platform/os_version.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/registry_key_win.h"

namespace qor {
namespace {

struct RootEntry {
    RegistryRoot root;
    const wchar_t* nativeName;  // null: opened with RtlOpenCurrentUser
};

// The performance and dynamic-data roots name no native key: there is nothing to open,
// and creating them would put stray keys at the top of the registry.
bool NamesNativeKey(const wchar_t* name) noexcept {
    return std::wcsncmp(name, L"\\REGISTRY\\", 10) == 0;
}

constexpr std::array<RootEntry, 9> kRoots{{
    {RegistryRoot::ClassesRoot, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"},
    {RegistryRoot::CurrentUser, nullptr},
    {RegistryRoot::LocalMachine, L"\\REGISTRY\\MACHINE"},
    {RegistryRoot::Users, L"\\REGISTRY\\USER"},
    {RegistryRoot::PerformanceData, L"HKEY_PERFORMANCE_DATA"},
    {RegistryRoot::CurrentConfig,
     L"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
    {RegistryRoot::DynData, L"HKEY_DYN_DATA"},
    {RegistryRoot::PerformanceText,
     L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009"},
    {RegistryRoot::PerformanceNlsText, L"HKEY_PERFORMANCE_NLSTEXT"},
}};

// Filled on first use, never closed: the handles live as long as the process.
std::array<std::atomic<HANDLE>, kRoots.size()> g_rootHandles{};

std::optional<std::size_t> SlotOf(RegistryRoot root) noexcept {
    for (std::size_t i = 0; i < kRoots.size(); ++i) {
        if (kRoots[i].root == root) return i;
    }
    return std::nullopt;
}

// Opens the native key, or creates it when it cannot be opened.
ResultCode OpenNamedRoot(const wchar_t* nativeName, HANDLE& handle) noexcept {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, nativeName);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE opened = nullptr;
    if (NT_SUCCESS(ZwOpenKey(&opened, MAXIMUM_ALLOWED, &attributes))) {
        handle = opened;
        return rc::Ok;
    }
    const ResultCode created = ResultFromNtStatus(
        ZwCreateKey(&opened, MAXIMUM_ALLOWED, &attributes, 0, nullptr, 0, nullptr));
    if (Failed(created)) return created;
    handle = opened;
    return rc::Ok;
}

ResultCode OpenRoot(const RootEntry& entry, HANDLE& handle) noexcept {
    if (entry.nativeName != nullptr) {
        if (!NamesNativeKey(entry.nativeName)) return rc::NotSupported;
        return OpenNamedRoot(entry.nativeName, handle);
    }
    HANDLE opened = nullptr;
    const ResultCode result = ResultFromNtStatus(RtlOpenCurrentUser(MAXIMUM_ALLOWED, &opened));
    if (Failed(result)) return result;
    handle = opened;
    return rc::Ok;
}

bool DetectNative64BitSystem() noexcept {
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    const auto getNativeSystemInfo =
        LookupExport<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo");
    if (!getNativeSystemInfo) return false;  // older than XP: 32-bit only
    SYSTEM_INFO info{};
    getNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

}  // namespace

// The OS record decides once it is filled (at start-up); before that, the system is asked.
bool IsNative64BitSystem() noexcept {
    static const bool is64 = GetOsVersionRecord().filled ? GetOsVersionRecord().Is64BitSystem()
                                                         : DetectNative64BitSystem();
    return is64;
}

ResultCode GetRegistryRootHandle(RegistryRoot root, HANDLE& handle) noexcept {
    const auto slot = SlotOf(root);
    if (!slot) return ResultFromWin32(ERROR_INVALID_PARAMETER);
    std::atomic<HANDLE>& cached = g_rootHandles[*slot];
    HANDLE current = cached.load(std::memory_order_acquire);
    if (current == nullptr) {
        HANDLE opened = nullptr;
        const ResultCode result = OpenRoot(kRoots[*slot], opened);
        if (Failed(result)) return result;
        // A thread that lost the race closes its own handle and takes the winner's.
        if (cached.compare_exchange_strong(current, opened, std::memory_order_acq_rel)) {
            current = opened;
        } else {
            NtKeyHandle loser(opened);
        }
    }
    handle = current;
    return rc::Ok;
}

}  // namespace qor
