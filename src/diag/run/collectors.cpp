#include "diag/run/collectors.h"

namespace qor {

Collectors UnfinishedCollectors() {
    const Collector unfinished = [](const RunContext&, std::wstring&) { return rc::NotSupported; };
    Collectors c;
    c.queryFirewallDriver = [](std::wstring&) { return rc::NotSupported; };
    for (Collector* each :
         {&c.registryLsp, &c.registryUninstall, &c.registryVendor, &c.registryProduct,
          &c.registryControlSet, &c.processList, &c.installedDrivers, &c.ipConfiguration,
          &c.routeTable, &c.arpTable, &c.systemInformation, &c.activeConnections,
          &c.fileVersions, &c.firewallState, &c.networkAreas, &c.scannerEngineVersion,
          &c.filteringPlatform, &c.configFiles, &c.logFiles, &c.infFiles, &c.catalogLog}) {
        *each = unfinished;
    }
    return c;
}

}  // namespace qor
