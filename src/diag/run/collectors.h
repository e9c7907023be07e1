#pragma once
// The collectors a diagnostics run calls, each behind one uniform signature.
#include <functional>
#include <string>

#include "common/result.h"
#include "diag/run/held_text.h"
#include "diag/run/step_runner.h"

namespace qor {

struct RunContext {
    const std::wstring& workDirectory;
    const std::wstring& installDirectory;
    bool native = false;   // the registry exports of the native view
    bool fullSet = false;  // the full set of logs
    std::uint32_t deadlineMs = kDefaultStepDeadlineMs;  // the step's, from its start
    // The step runs ahead of its turn: what its children write on the console goes into
    // `held` instead.
    bool holdChildOutput = false;
    // The step's own console text, shown by the run at the step's turn (none when null).
    HeldText* held = nullptr;
};

// Text collectors fill `text`; the others write their own files and leave it alone.
using Collector = std::function<ResultCode(const RunContext& context, std::wstring& text)>;

struct Collectors {
    std::function<ResultCode(std::wstring& driverText)> queryFirewallDriver;
    Collector registryLsp, registryUninstall, registryVendor, registryProduct, registryControlSet;
    Collector processList, installedDrivers, ipConfiguration, routeTable, arpTable;
    Collector systemInformation, activeConnections, fileVersions, firewallState, networkAreas;
    Collector scannerEngineVersion, filteringPlatform;
    Collector configFiles, logFiles, infFiles, catalogLog;
};

// Every collector answers rc::NotSupported: the ones not built yet stay visibly unfinished.
Collectors UnfinishedCollectors();

}  // namespace qor
