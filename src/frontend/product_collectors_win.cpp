#include "frontend/product_collectors_win.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "diag/network/active_connections.h"
#include "diag/system/command_captures.h"
#include "diag/network/connection_table_win.h"
#include "diag/suite/file_collectors.h"
#include "diag/system/file_versions.h"
#include "diag/suite/firewall_driver_win.h"
#include "diag/suite/firewall_state.h"
#include "diag/suite/gathering_sources_win.h"
#include "diag/network/network_list_win.h"
#include "diag/network/os_adapters_win.h"
#include "diag/suite/scanner_engine_win.h"
#include "diag/system/process_list_win.h"
#include "platform/folder_table.h"
#include "diag/system/system_information_win.h"
#include "platform/os_version.h"
#include "platform/process_launch.h"

namespace qor {

namespace {

// The process helpers behind the captures; made at the start of the step, whose deadline
// bounds every wait of the step's children. With `held`, a waited-for child's console text is
// appended there.
class ProcessLauncher final : public CommandLauncher {
public:
    ProcessLauncher(std::uint32_t stepDeadlineMs, HeldText* held) noexcept
        : held_(held),
          usableUntil_(CaptureClock::now() +
                       std::chrono::milliseconds(CaptureBudgetMs(stepDeadlineMs, 0))) {}
    ResultCode Detached(const std::wstring& commandLine) noexcept override {
        return LaunchDetached(commandLine);
    }
    // Nothing starts once the step's time is spent.
    ResultCode AndWait(const std::wstring& commandLine) noexcept override {
        const std::uint32_t budget = RemainingMs();
        if (budget == 0) return ResultFromWin32(kWin32Timeout);
        ResultCode code = rc::Ok;
        if (held_) {
            std::wstring text;
            code = LaunchAndWaitHeld(commandLine, text, budget);
            held_->Append(text);
        } else {
            code = LaunchAndWait(commandLine, budget);
        }
        // A wait that the step's time cut short is the step's overrun: nothing after it starts.
        return RemainingMs() == 0 ? ResultFromWin32(kWin32Timeout) : code;
    }
    ResultCode Capture(const std::wstring& commandLine,
                       const std::wstring& outputPath) noexcept override {
        if (RemainingMs() == 0) return ResultFromWin32(kWin32Timeout);
        const auto longest = CaptureClock::now() + std::chrono::milliseconds(kCaptureDeadlineMs);
        return CaptureCommandOutput(commandLine, outputPath, std::min(usableUntil_, longest));
    }

private:
    std::uint32_t RemainingMs() const noexcept { return MillisecondsUntil(usableUntil_); }

    HeldText* held_;
    CaptureClock::time_point usableUntil_;  // a margin before the step is given up
};

// Runs one capture collector with the process launcher and the run's work directory.
template <typename Dump>
Collector CaptureCollector(Dump dump) {
    return [dump](const RunContext& context, std::wstring&) {
        ProcessLauncher launcher(context.deadlineMs,
                                 context.holdChildOutput ? context.held : nullptr);
        std::wstring system;
        if (GetSpecialFolder(folder::NativeSystem, system) != rc::Ok) system.clear();
        return dump(CaptureTarget{launcher, context.workDirectory, system}, context);
    };
}

}  // namespace

Collectors ProductCollectors(LogSink& log) {
    Collectors collectors = UnfinishedCollectors();
    collectors.queryFirewallDriver = [](std::wstring& text) { return QueryFirewallDriver(text); };

    collectors.processList = [](const RunContext&, std::wstring& text) {
        return DumpProcessList(text);
    };
    collectors.systemInformation = [](const RunContext& context, std::wstring& text) {
        HeldText dropped;
        HeldConsole console(context.held ? *context.held : dropped);
        return DumpSystemInformation(console, text);
    };

    // Registry exports and command captures.
    using Target = const CaptureTarget&;
    using Context = const RunContext&;
    collectors.registryLsp = CaptureCollector([](Target t, Context) { return DumpRegistryLsp(t); });
    collectors.registryUninstall =
        CaptureCollector([](Target t, Context c) { return DumpRegistryUninstall(t, c.native); });
    collectors.registryVendor =
        CaptureCollector([](Target t, Context c) { return DumpRegistryVendor(t, c.native); });
    collectors.registryProduct =
        CaptureCollector([](Target t, Context c) { return DumpRegistryProduct(t, c.native); });
    collectors.registryControlSet =
        CaptureCollector([](Target t, Context) { return DumpRegistryControlSet(t); });
    collectors.installedDrivers =
        CaptureCollector([](Target t, Context) { return DumpInstalledDrivers(t); });
    collectors.ipConfiguration =
        CaptureCollector([](Target t, Context) { return DumpIpConfiguration(t); });
    collectors.routeTable = CaptureCollector([](Target t, Context) { return DumpRouteTable(t); });
    collectors.arpTable = CaptureCollector([](Target t, Context) { return DumpArpTable(t); });
    collectors.activeConnections = CaptureCollector([](Target t, Context) {
        return DumpActiveConnections(GetOsVersionRecord(), OpenIpHelperTables, t);
    });
    collectors.filteringPlatform = CaptureCollector([](Target t, Context) {
        return DumpFilteringPlatform(t, GetOsVersionRecord().IsVistaOrLater());
    });

    collectors.networkAreas = [&log](const RunContext&, std::wstring& text) {
        WinNetworkListSource networks;
        WinAdapterSystem adapters;
        return DumpNetworkAreas(GetOsVersionRecord(), networks, adapters, log, text);
    };

    collectors.scannerEngineVersion = [](const RunContext&, std::wstring& text) {
        return DumpScannerEngineVersion(text);
    };

    collectors.firewallState = [](const RunContext& context, std::wstring& text) {
        return DumpFirewallState(context.installDirectory, text);
    };

    collectors.fileVersions = [](const RunContext& context, std::wstring& text) {
        return DumpFileVersions(text, context.installDirectory);
    };

    // Logs, configuration and INF files.
    collectors.configFiles = [](const RunContext& context, std::wstring&) {
        return CollectConfigFiles(ProcessGatheringSources(), context.workDirectory);
    };
    collectors.logFiles = [](const RunContext& context, std::wstring&) {
        return CollectLogFiles(ProcessGatheringSources(), context.workDirectory,
                               context.fullSet);
    };
    collectors.infFiles = [](const RunContext& context, std::wstring&) {
        return CollectInfFiles(ProcessGatheringSources(), context.workDirectory);
    };
    collectors.catalogLog = [](const RunContext& context, std::wstring&) {
        return CollectCatalogLog(ProcessGatheringSources(), context.workDirectory);
    };
    return collectors;
}

}  // namespace qor
