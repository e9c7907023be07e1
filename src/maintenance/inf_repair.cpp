#include "maintenance/inf_repair.h"

#include <array>
#include <new>
#include <vector>

#include "common/path_join.h"
#include "common/text_format.h"
#include "maintenance/tdi_driver_order.h"
#include "platform/folder_table.h"
#include "platform/fs.h"
#include "product/product_constants.h"

namespace qor {
namespace {

constexpr ResultCode kNotXpOrServer2003 = rc::NotSupported;
constexpr ResultCode kInvalidParameter = SuiteError(0x02);

// "?" stands for the processor letter.
constexpr std::array<const wchar_t*, 5> kDriverFiles{
    L"qorfw_m.inf", L"qorfwfd.inf", L"qorfwfd.cat", L"qorfwd?.dll", L"qorfwd?.sys"};

constexpr const wchar_t* kDevicePathKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Non-empty parts of `text` between ";".
std::vector<std::wstring> SplitDirectories(const std::wstring& text) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(L';', start), text.size());
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

[[nodiscard]] ResultCode DeleteInfCache(InfRepairSystem& system, const std::wstring& directory) {
    const std::wstring path = JoinPath(directory, L"INFCACHE.1");
    ResultCode code = system.DeleteFile(path, true);
    if (code == kInvalidParameter) code = system.DeleteFile(path, false);
    if (code == rc::FileNotFound || code == rc::PathNotFound) return rc::Ok;
    return code;
}

// Hands the permission back on every way out of the repair.
class PermissionHold {
public:
    explicit PermissionHold(InfRepairSystem& system) : system_(system) {}
    ~PermissionHold() { system_.ReleaseDriverChangePermission(); }
    PermissionHold(const PermissionHold&) = delete;
    PermissionHold& operator=(const PermissionHold&) = delete;

private:
    InfRepairSystem& system_;
};

// Prints "ok.\n" or "failed.\n" after the step and passes its code on.
ResultCode Outcome(Console& console, ResultCode code) {
    console.Write(Failed(code) ? L"failed.\n" : L"ok.\n");
    return code;
}

class InfRepair {
public:
    explicit InfRepair(InfRepairDependencies& deps)
        : d_(deps), installer_{deps.console, deps.os, deps.installation, deps.starter} {}

    ResultCode Run() {
        if (const ResultCode code = CheckOs(); Failed(code)) return code;
        std::wstring drivers;
        if (const ResultCode code = FindDrivers(drivers); Failed(code)) return code;
        Step(L"Checking driver installation files...");
        if (const ResultCode code = Outcome(d_.console, CheckDriverInstallationFiles(
                                                            d_.system, d_.os, drivers));
            Failed(code)) {
            return code;
        }
        Step(L"Preparing QOR environment...");
        if (const ResultCode code = d_.system.AcquireDriverChangePermission(); Failed(code)) {
            Step(L"failed. [Check digital signature of QorFwDiag.]\n");
            return code;
        }
        Step(L"ok.\n");
        PermissionHold hold(d_.system);
        return ChangeDrivers();
    }

private:
    void Step(const wchar_t* text) { d_.console.Write(text); }

    ResultCode CheckOs() {
        Step(L"\nChecking OS version...");
        if (!d_.os.IsWindowsXp() && !d_.os.IsServer2003Family()) {
            Step(L"failed.\nQOR diagnostics INF repair requires Windows XP or Windows Server "
                 L"2003. Exiting.\n");
            return kNotXpOrServer2003;
        }
        Step(L"ok.\n");
        return rc::Ok;
    }

    ResultCode FindDrivers(std::wstring& drivers) {
        Step(L"Checking QOR directory...");
        const ResultCode code = d_.installation.LookupProductDirectory(
            product_dir::Program, drivers, std::wstring_view(L"Drivers"), ProductGeneration);
        if (Failed(code)) return Outcome(d_.console, code);
        d_.console.Write(FormatText(L"ok. [%ls]\n", drivers.c_str()));
        return rc::Ok;
    }

    ResultCode ChangeDrivers() {
        std::uint32_t reboot = 0;
        Step(L"Removing NDIS driver (please wait)...");
        ResultCode code = Outcome(d_.console, RunNdisInstaller(installer_, ndis_op::Uninstall, reboot));
        if (Failed(code)) return code;
        Step(L"Removing damaged INF cache...");
        code = Outcome(d_.console, RemoveInfCaches(d_.system, d_.reader));
        if (Failed(code)) return code;
        Step(L"NDIS driver is about to be installed.\n"
             L"This might take few minutes (depends on number of drivers).\n"
             L"Internet connection might be turned off and on in few seconds.\n"
             L"\nInstalling NDIS driver...");
        code = Outcome(d_.console, RunNdisInstaller(installer_, ndis_op::Install, reboot));
        if (Failed(code)) return code;
        Step(L"Checking NDIS service...");
        const std::wstring serviceKey =
            std::wstring(kServicesKey) + L"\\Qorfwd" + ProcessorLetter(d_.os);
        code = Outcome(d_.console, d_.registry.OpenKey(serviceKey));
        if (Failed(code)) return code;
        Step(L"Ordering drivers...");
        bool changed = false;
        if (Failed(OrderTdiDrivers(d_.registry, d_.os, changed))) {
            Step(L"failed.\nSECOND REBOOT MIGHT BE REQUIRED AFTER FIRST REBOOT.\n");
        } else {
            Step(L"ok.\n");
        }
        return rc::Ok;
    }

    InfRepairDependencies& d_;
    NdisInstallerContext installer_;
};

}  // namespace

ResultCode CheckDriverInstallationFiles(InfRepairSystem& system, const OsVersionRecord& os,
                                        const std::wstring& directory) {
    const std::wstring letter = ProcessorLetter(os);
    if (letter.empty()) return rc::DirectoryKindOutOfRange;
    for (std::wstring name : kDriverFiles) {
        if (const auto mark = name.find(L'?'); mark != std::wstring::npos) {
            name.replace(mark, 1, letter);
        }
        std::uint32_t attributes = 0;
        const ResultCode code = system.FileAttributes(JoinPath(directory, name), attributes);
        if (Failed(code) || (attributes & fs::attr::Directory) != 0) return rc::FileNotFound;
    }
    return rc::Ok;
}

// "%SystemRoot%" (any case) is the Windows folder the system gives, never the environment's.
std::wstring WithSystemRoot(std::wstring text, const std::wstring& windows) {
    static constexpr std::wstring_view kVariable = L"%systemroot%";
    for (std::size_t at = 0; at + kVariable.size() <= text.size();) {
        bool same = true;
        for (std::size_t i = 0; i < kVariable.size() && same; ++i) {
            const wchar_t c = text[at + i];
            same = (c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c) == kVariable[i];
        }
        if (!same) {
            ++at;
            continue;
        }
        text.replace(at, kVariable.size(), windows);
        at += windows.size();
    }
    return text;
}

ResultCode RemoveInfCaches(InfRepairSystem& system, RegistryReader& reader) {
    std::wstring windows;
    if (const ResultCode code = system.WindowsDirectory(windows); Failed(code)) return code;
    std::wstring devicePath, expanded;
    if (const ResultCode code = reader.ReadString(RegistryRoot::LocalMachine, kDevicePathKey,
                                                  L"DevicePath", RegistryView::Default,
                                                  devicePath);
        Failed(code)) {
        return code;
    }
    if (const ResultCode code = system.ExpandEnvironment(WithSystemRoot(devicePath, windows), expanded);
        Failed(code)) {
        return code;
    }
    std::vector<std::wstring> directories = SplitDirectories(expanded);
    if (directories.empty()) directories.push_back(JoinPath(windows, L"inf"));
    for (const std::wstring& directory : directories) {
        if (const ResultCode code = DeleteInfCache(system, directory); Failed(code)) return code;
    }
    return rc::Ok;
}

ResultCode RepairInfCache(InfRepairDependencies& deps) {
    try {
        return InfRepair(deps).Run();
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
