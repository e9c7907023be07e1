#pragma once
// One diagnostics run: owns the work directory, calls every collector in a fixed order with
// its progress line, and packs the work directory into the package.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "diag/run/collectors.h"
#include "diag/run/fs_redirection.h"
#include "diag/run/held_text.h"
#include "diag/run/report_page.h"
#include "diag/run/run_log.h"
#include "platform/fs.h"
#include "diag/run/step_runner.h"
#include "diag/run/steps_ahead.h"
#include "common/console.h"
#include "product/install_lookup.h"

namespace qor {

enum RunFlags : std::uint32_t { FullSet = 1, Verbose = 2, ReportOnly = 4 };

using ZipTreeFn = std::function<ResultCode(const std::wstring& source,
                                           const std::wstring& archive, bool verbose)>;

struct RunDependencies {
    Console& console;
    ProductInstallation& installation;
    std::function<ResultCode()> enableDebugPrivilege;
    std::shared_ptr<const FsRedirection> redirection;  // shared with the step threads
    Collectors collectors;
    ZipTreeFn zipTree;
    MillisecondClock clock;  // the step times of the run log; a steady clock when empty
    // Waits for the children the collectors left running, within the given milliseconds.
    std::function<ResultCode(std::uint32_t budgetMs)> waitForChildren;
    std::uint32_t stepDeadlineMs = kDefaultStepDeadlineMs;
    StepThreadFactory stepThreads;  // threads of this process when empty
    PageSystem page;         // error texts and local time for the report page
    // The steps that wait for the system's programs, side by side; 1: one after the other.
    unsigned stepsAtOnce = 1;
};

class DiagnosticsRun {
public:
    // Work directory names drawn before giving up when every one already exists.
    static constexpr int kDriverAttempts = 20;

    explicit DiagnosticsRun(RunDependencies dependencies);
    DiagnosticsRun(const DiagnosticsRun&) = delete;
    DiagnosticsRun& operator=(const DiagnosticsRun&) = delete;
    // Removes the work directory when asked to.
    ~DiagnosticsRun();

    void SetRemoveWorkDirectory(bool remove) noexcept { removeWorkDirectory_ = remove; }
    // On success `packagePath` receives the package (or, report only, the report file).
    Result Run(std::wstring& packagePath, std::uint32_t flags);

    const std::wstring& WorkDirectory() const noexcept { return workDirectory_; }

private:
    [[nodiscard]] ResultCode PrepareWorkDirectory();
    void ReadInstallDirectory();
    [[nodiscard]] ResultCode QueryDriver();
    void CollectEverything(bool fullSet);
    void CollectRegistry();
    void CollectSystem();
    void CollectSuiteState();
    void CollectFiles(bool fullSet);

    // `held` takes the step's console text; `ahead`: its children's too, as the step runs
    // before its turn.
    StepWork CollectorWork(const Collector& collector, std::shared_ptr<HeldText> held,
                           bool native = false, bool ahead = false) const;
    ResultCode RunCollector(const Collector& collector, bool native = false,
                            std::wstring* text = nullptr);
    void StartProgramsAhead();
    struct TurnOutcome {
        ResultCode code;
        std::optional<std::uint64_t> milliseconds;  // the step's own time when it ran ahead
    };
    TurnOutcome AtItsTurn(int key, const Collector& collector);
    ResultCode ProgramStep(const wchar_t* message, int key, const Collector& collector);
    ResultCode Step(const wchar_t* message, const Collector& collector, bool native = false);
    // `withCode`: the file also carries the collector's result code.
    void TextStep(const wchar_t* message, const Collector& collector, const wchar_t* fileName,
                  bool withCode = false);
    void SuiteTextStep(const wchar_t* name, const Collector& collector, const wchar_t* fileName,
                       bool withCode = false);
    void NativeRegistryStep(const wchar_t* message, const Collector& collector);
    void WaitForChildren();
    ResultCode RedirectionOff();
    void RedirectionOn();
    void Print(const std::wstring& text);
    void StartStep(const std::wstring& message);
    ResultCode Outcome(ResultCode code, std::optional<std::uint64_t> milliseconds = std::nullopt);

    RunDependencies deps_;
    MillisecondClock clock_;
    RunLog log_;
    StepRunner steps_;
    std::unique_ptr<StepsAhead> ahead_;  // from the process list to the last of them
    std::vector<std::shared_ptr<HeldText>> aheadHeld_;  // by step key
    bool removeWorkDirectory_ = true;
    bool verbose_ = false;
    bool fullSet_ = false;
    std::wstring workDirectory_;
    fs::File workHold_;  // keeps the work directory from being deleted or renamed
    std::wstring packagePath_;
    std::wstring installDirectory_;
    std::wstring driverText_;
    ResultCode driverCode_ = rc::Ok;
};

}  // namespace qor
