#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "diag/run/diagnostics_run.h"
#include "fakes/fake_console.h"
#include "fakes/fake_install_sources.h"
#include "support/test_env.h"

namespace qor::test {

struct RunHarness;

// A step thread on the harness clock: the work runs at once, and a step whose work moved the
// clock past the deadline counts as overrun, the clock then standing at the deadline.
struct ScriptedStepThread final : StepThread {
    explicit ScriptedStepThread(std::atomic<std::uint64_t>& clock) : clockMs(clock) {}
    bool Run(std::function<void()> work, std::uint32_t milliseconds) override {
        const std::uint64_t start = clockMs;
        work();
        if (clockMs - start <= milliseconds) return true;
        clockMs = start + milliseconds;
        return false;
    }
    std::atomic<std::uint64_t>& clockMs;
};

// A run in a scratch temporary folder, with collectors that succeed unless told otherwise.
struct RunHarness {
    RunHarness() { SetEnvironment(L"TMP", temp.Path()); }

    std::unique_ptr<DiagnosticsRun> Make(bool wow64 = false) {
        std::shared_ptr<const FsRedirection> redirection = customRedirection;
        if (!redirection && wow64) {
            redirection = std::make_shared<const FsRedirection>(
                [this](std::uint64_t value, std::uint64_t& previous) {
                    toggles.push_back(value);
                    toggleThreads.push_back(std::this_thread::get_id());
                    previous = 42;
                    return value == 1 ? disableCode : rc::Ok;
                });
        }
        Collectors collectors = UnfinishedCollectors();
        collectors.queryFirewallDriver = [this](std::wstring& text) {
            ++driverQueries;
            text = L"driver says hi\n";
            return driverCode;
        };
        collectors.processList = [](const RunContext&, std::wstring& text) {
            text = L"process list";
            return rc::Ok;
        };
        collectors.registryUninstall = [this](const RunContext& context, std::wstring&) {
            nativeFlags.push_back(context.native);
            exportThreads.push_back(std::this_thread::get_id());
            return rc::Ok;
        };
        if (customize) customize(collectors);
        StepThreadFactory threads = [this]() -> std::unique_ptr<StepThread> {
            ++threadsMade;
            if (scriptedThreads) return std::make_unique<ScriptedStepThread>(clockMs);
            return MakeStepThread();
        };
        return std::make_unique<DiagnosticsRun>(RunDependencies{
            console, installation, [] { return rc::Ok; }, std::move(redirection),
            std::move(collectors),
            [this](const std::wstring& source, const std::wstring& archive, bool verbose) {
                zipped = source + L" -> " + archive + (verbose ? L" verbose" : L"");
                if (zipCode == rc::Ok) test::WriteBytes(archive, "PK\x05\x06");
                return zipCode;
            },
            [this] { return clockMs += 5; },
            [this](std::uint32_t budgetMs) {
                childBudgets.push_back(budgetMs);
                return childrenCode;
            },
            deadlineMs, std::move(threads), PageSystem{}, stepsAtOnce});
    }

    const EnvironmentGuard guard{L"TMP"};
    ScratchDirectory temp;
    FakeConsole console;
    FakeInstallSources sources;
    ProductInstallation installation{sources};
    ResultCode driverCode = 0, zipCode = 0, disableCode = 0, childrenCode = 0;
    std::uint32_t deadlineMs = kDefaultStepDeadlineMs;
    unsigned stepsAtOnce = 1;
    bool scriptedThreads = false;  // else threads of this process
    std::atomic<int> threadsMade = 0;  // step threads, scripted or real
    std::shared_ptr<const FsRedirection> customRedirection;  // instead of the harness's
    std::function<void(Collectors&)> customize;
    std::vector<std::uint32_t> childBudgets;
    std::vector<std::thread::id> toggleThreads, exportThreads;
    int driverQueries = 0;
    std::atomic<std::uint64_t> clockMs = 1000;  // every reading is 5 ms after the one before
    std::vector<std::uint64_t> toggles;
    std::vector<bool> nativeFlags;
    std::wstring zipped;
};

}  // namespace qor::test
