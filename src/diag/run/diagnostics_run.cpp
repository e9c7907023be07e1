#include "diag/run/diagnostics_run.h"

#include <new>
#include <vector>

#include "diag/run/dump_file.h"
#include "diag/run/report_page_file.h"
#include "diag/run/work_directory.h"
#include "product/product_constants.h"
#include "platform/fs.h"

namespace qor {
namespace {

// The steps that only wait for the system's programs, in the order they are started: the
// longest chain first.
enum ProgramStepKey : int {
    kFilteringPlatform,
    kInstalledDrivers,
    kIpConfiguration,
    kRouteTable,
    kArpTable,
};

}  // namespace

DiagnosticsRun::DiagnosticsRun(RunDependencies dependencies)
    : deps_(std::move(dependencies)),
      clock_(deps_.clock ? deps_.clock : SteadyMilliseconds()),
      log_(clock_),
      steps_(deps_.stepDeadlineMs, deps_.stepThreads) {
    if (!deps_.redirection) deps_.redirection = std::make_shared<const FsRedirection>();
}

// A work directory left behind is said: it holds what the run gathered.
DiagnosticsRun::~DiagnosticsRun() {
    if (!removeWorkDirectory_ || workDirectory_.empty()) return;
    if (Succeeded(RemoveWorkDirectory(workDirectory_, workHold_))) return;
    try {
        deps_.console.Write(L"\nThe temporary directory could not be removed:\n" +
                            workDirectory_ + L"\n");
    } catch (const std::bad_alloc&) {
    }
}

Result DiagnosticsRun::Run(std::wstring& packagePath, std::uint32_t flags) {
    verbose_ = flags & Verbose;
    fullSet_ = flags & FullSet;
    StartStep(L"Enabling debug privilege...");
    Outcome(deps_.enableDebugPrivilege());
    if (const ResultCode code = PrepareWorkDirectory(); code != rc::Ok) return Result(code);
    ReadInstallDirectory();
    driverCode_ = QueryDriver();

    if (flags & ReportOnly) {
        const ResultCode code = WriteReportSummary(workDirectory_, packagePath_, driverText_, driverCode_);
        if (Failed(code)) return Result(code);
        packagePath = packagePath_;
        return Result();
    }
    (void)WriteReportSummary(workDirectory_, L"tdidump.txt", driverText_, driverCode_);
    CollectEverything(fullSet_);
    WaitForChildren();
    (void)WriteDumpFile(workDirectory_, L"runlog.txt", log_.Text());
    (void)WriteReportPage(workDirectory_, installDirectory_, deps_.page);

    StartStep(L"Creating ZIP...\n");
    const ResultCode zipped = Outcome(deps_.zipTree(workDirectory_, packagePath_, verbose_));
    if (Failed(zipped)) return Result(zipped);
    packagePath = packagePath_;
    return Result(zipped);
}

// The run owns the directory, and removes it later, only once it has created it.
ResultCode DiagnosticsRun::PrepareWorkDirectory() {
    std::vector<std::wstring> bases;
    if (const ResultCode code = WorkDirectoryBases(bases); code != rc::Ok) return code;
    StartStep(L"Creating temporary directory...");
    std::wstring directory;
    if (const ResultCode code = CreateWorkDirectory(bases, DrawWorkNumber, directory, workHold_);
        Failed(code)) {
        return code;
    }
    workDirectory_ = std::move(directory);
    if (const ResultCode code = NamePackage(workDirectory_, packagePath_); code != rc::Ok) return code;
    Outcome(rc::Ok);
    return rc::Ok;
}

void DiagnosticsRun::ReadInstallDirectory() {
    StartStep(L"Reading QOR directory...");
    const ResultCode code = Outcome(deps_.installation.LookupProductDirectory(
        product_dir::Program, installDirectory_, std::nullopt, ProductGeneration));
    if (Failed(code)) {
        installDirectory_.clear();
        Print(L"QOR not installed or wrong FwDiag used, will skip QOR related sources.\n");
    }
}

// Asked again while the driver answers "invalid function", at most kDriverAttempts times.
ResultCode DiagnosticsRun::QueryDriver() {
    StartStep(L"Driver...");
    ResultCode code = rc::Ok;
    for (int left = kDriverAttempts; left > 0; --left) {
        code = Outcome(steps_.Run(deps_.collectors.queryFirewallDriver, driverText_));
        if (code != rc::InvalidFunction) break;
    }
    return code;
}

void DiagnosticsRun::CollectEverything(bool fullSet) {
    CollectRegistry();
    CollectSystem();
    CollectSuiteState();
    CollectFiles(fullSet);
}

void DiagnosticsRun::CollectRegistry() {
    const Collectors& c = deps_.collectors;
    Step(L"Registry LSP...", c.registryLsp);
    Step(L"Registry Uninstall (x32)...", c.registryUninstall);
    NativeRegistryStep(L"Registry Uninstall (native)...", c.registryUninstall);
    Step(L"Registry Velloni (x32)...", c.registryVendor);
    NativeRegistryStep(L"Registry Velloni (native)...", c.registryVendor);
    Step(L"Registry QOR (x32)...", c.registryProduct);
    NativeRegistryStep(L"Registry QOR (native)...", c.registryProduct);
    Step(L"Registry CurrentControlSet...", c.registryControlSet);
}

void DiagnosticsRun::CollectSystem() {
    const Collectors& c = deps_.collectors;
    TextStep(L"Processes...", c.processList, L"procdmp.txt");
    StartProgramsAhead();
    ProgramStep(L"Installed drivers...", kInstalledDrivers, c.installedDrivers);
    ProgramStep(L"IP configuration...", kIpConfiguration, c.ipConfiguration);
    ProgramStep(L"Route table...", kRouteTable, c.routeTable);
    ProgramStep(L"ARP table...", kArpTable, c.arpTable);
    TextStep(L"System info...", c.systemInformation, L"sysdump.txt");
    Step(L"Active connections...", c.activeConnections);
}

void DiagnosticsRun::CollectSuiteState() {
    const Collectors& c = deps_.collectors;
    (void)RedirectionOff();
    SuiteTextStep(L"QOR versions...", c.fileVersions, L"verdump.txt");
    RedirectionOn();
    SuiteTextStep(L"WD values...", c.firewallState, L"wddump.txt", true);
    TextStep(L"Network areas...", c.networkAreas, L"netareas.txt");
    SuiteTextStep(L"AVI version...", c.scannerEngineVersion, L"aviversion.txt");
    StartStep(L"WFP info:\n");
    const TurnOutcome wfp = AtItsTurn(kFilteringPlatform, c.filteringPlatform);
    Print(L"\nWFP info result: ");
    Outcome(wfp.code, wfp.milliseconds);
    ahead_.reset();  // every step ahead has been taken
}

void DiagnosticsRun::CollectFiles(bool fullSet) {
    const Collectors& c = deps_.collectors;
    if (fullSet) {
        (void)RedirectionOff();
        Step(L"Configuration (private)...", c.configFiles);
        RedirectionOn();
    } else {
        Print(L"Configuration files skipped.\n");
    }
    (void)RedirectionOff();
    Step(fullSet ? L"Logs..." : L"Logs (reduced set)...", c.logFiles);
    RedirectionOn();
    Step(L"INF files...", c.infFiles);
    (void)RedirectionOff();
    Step(L"CatDB log...", c.catalogLog);
    RedirectionOn();
}

// The step's thread works on its own copies of the run's strings, and shares its held text.
StepWork DiagnosticsRun::CollectorWork(const Collector& collector, std::shared_ptr<HeldText> held,
                                       bool native, bool ahead) const {
    return [collector, work = workDirectory_, install = installDirectory_, native,
            fullSet = fullSet_, deadline = steps_.DeadlineMs(), ahead,
            held = std::move(held)](std::wstring& out) {
        return collector(RunContext{work, install, native, fullSet, deadline, ahead, held.get()},
                         out);
    };
}

// What the step wrote for the console is shown before its outcome, as far as it came.
ResultCode DiagnosticsRun::RunCollector(const Collector& collector, bool native,
                                        std::wstring* text) {
    std::wstring unused;
    const auto held = std::make_shared<HeldText>();
    const ResultCode code = steps_.Run(CollectorWork(collector, held, native), text ? *text : unused);
    Print(held->Take());
    return code;
}

// Once the process list is made, so that it stays as it was.
void DiagnosticsRun::StartProgramsAhead() {
    if (deps_.stepsAtOnce <= 1) return;
    const Collectors& c = deps_.collectors;
    const Collector* byKey[] = {&c.filteringPlatform, &c.installedDrivers, &c.ipConfiguration,
                                &c.routeTable, &c.arpTable};  // in ProgramStepKey order
    std::vector<AheadStep> steps;
    aheadHeld_.clear();
    for (int key = kFilteringPlatform; key <= kArpTable; ++key) {
        aheadHeld_.push_back(std::make_shared<HeldText>());
        steps.push_back({key, CollectorWork(*byKey[key], aheadHeld_.back(), false, true)});
    }
    ahead_ = std::make_unique<StepsAhead>(deps_.stepsAtOnce, std::move(steps), steps_.DeadlineMs(),
                                          deps_.stepThreads, clock_);
}

// The console text a step held while it ran ahead is shown now, where its children's text
// would have been; a step given up shows what it held until then.
DiagnosticsRun::TurnOutcome DiagnosticsRun::AtItsTurn(int key, const Collector& collector) {
    if (!ahead_) return {RunCollector(collector), std::nullopt};
    const StepsAhead::Outcome outcome = ahead_->Take(key, steps_);
    Print(aheadHeld_[static_cast<std::size_t>(key)]->Take());
    return {outcome.code, outcome.milliseconds};
}

ResultCode DiagnosticsRun::ProgramStep(const wchar_t* message, int key,
                                       const Collector& collector) {
    StartStep(message);
    const TurnOutcome outcome = AtItsTurn(key, collector);
    return Outcome(outcome.code, outcome.milliseconds);
}

ResultCode DiagnosticsRun::Step(const wchar_t* message, const Collector& collector, bool native) {
    StartStep(message);
    return Outcome(RunCollector(collector, native));
}

// The outcome is printed before the text is written; the write's result is not looked at.
void DiagnosticsRun::TextStep(const wchar_t* message, const Collector& collector,
                              const wchar_t* fileName, bool withCode) {
    StartStep(message);
    std::wstring text;
    const ResultCode code = Outcome(RunCollector(collector, false, &text));
    if (withCode) {
        (void)WriteReportSummary(workDirectory_, fileName, text, code);
    } else {
        (void)WriteDumpFile(workDirectory_, fileName, text);
    }
}

void DiagnosticsRun::SuiteTextStep(const wchar_t* message, const Collector& collector,
                                   const wchar_t* fileName, bool withCode) {
    if (installDirectory_.empty()) {
        Print(std::wstring(message) + L"skipped\n");
        log_.Skipped(message);
        return;
    }
    TextStep(message, collector, fileName, withCode);
}

// Only when the redirection could be turned off; it is turned on again either way.
void DiagnosticsRun::NativeRegistryStep(const wchar_t* message, const Collector& collector) {
    if (!deps_.redirection->Usable()) return;
    if (Succeeded(RedirectionOff())) Step(message, collector, true);
    RedirectionOn();
}

// All children in one deadline, logged but not printed.
void DiagnosticsRun::WaitForChildren() {
    log_.Begin(L"Waiting for child programs");
    log_.End(deps_.waitForChildren ? deps_.waitForChildren(steps_.DeadlineMs()) : rc::Ok);
}

// Redirection is per thread: it is switched on the thread that runs the steps.
ResultCode DiagnosticsRun::RedirectionOff() {
    if (!deps_.redirection->Usable()) return rc::NotSupported;
    StartStep(L"Disable WOW64 FS redirection...");
    return Outcome(steps_.Run(
        [redirection = deps_.redirection](std::wstring&) { return redirection->Disable(); }));
}

void DiagnosticsRun::RedirectionOn() {
    if (!deps_.redirection->Usable()) return;
    StartStep(L"Enable WOW64 FS redirection...");
    Outcome(steps_.Run(
        [redirection = deps_.redirection](std::wstring&) { return redirection->Revert(); }));
}

void DiagnosticsRun::Print(const std::wstring& text) {
    if (verbose_) deps_.console.Write(text);
}

// The step is logged whether or not the run prints.
void DiagnosticsRun::StartStep(const std::wstring& message) {
    Print(message);
    log_.Begin(message);
}

ResultCode DiagnosticsRun::Outcome(ResultCode code, std::optional<std::uint64_t> milliseconds) {
    Print(Succeeded(code) ? L"OK\n" : L"Failed\n");
    if (milliseconds) {
        log_.End(code, *milliseconds);
    } else {
        log_.End(code);
    }
    return code;
}

}  // namespace qor
