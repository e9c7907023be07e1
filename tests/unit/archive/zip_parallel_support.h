#pragma once
// Packing a tree in tests: a fixture, and sequential and parallel runs kept to compare.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/zip_directory_tree.h"
#include "fakes/fake_console.h"
#include "zip_test_support.h"

namespace qor::test {

struct PackRun {
    ResultCode result = rc::Ok;
    std::wstring transcript;
    std::vector<std::uint32_t> sleeps;
    Bytes archive;
};

inline std::vector<std::uint32_t> g_packSleeps;
inline std::function<void()> g_onPackSleep;

inline void PackSleep(std::uint32_t milliseconds) {
    g_packSleeps.push_back(milliseconds);
    if (g_onPackSleep) g_onPackSleep();
}

// 2021-03-04 05:06:08 for every folder entry, so runs can be compared byte for byte.
inline zip::ClockReading FixedPackClock() { return {132592347680000000, 132592347680000000}; }

inline PackRun PackTree(const stdfs::path& source, const stdfs::path& archive, unsigned workers,
                        std::uint64_t budget = 64ull << 20,
                        std::uint32_t maxArchiveSize = 0xFFFFFFFF) {
    zip::ZipOptions options{.clock = FixedPackClock, .maxArchiveSize = maxArchiveSize};
    options.workers = workers;
    options.inFlightBudget = budget;
    FakeConsole console;
    g_packSleeps.clear();
    PackRun run;
    run.result = ZipDirectoryTree(source.wstring(), archive.wstring(), true, console, PackSleep,
                                  options);
    run.transcript = console.output;
    run.sleeps = g_packSleeps;
    run.archive = ReadBytes(archive);
    std::filesystem::remove(archive);
    return run;
}

// A tree under "work" packed into "package.tmp" beside it, with the fake sleep unless told.
class ZipTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_packSleeps.clear();
        g_onPackSleep = nullptr;
    }
    void TearDown() override { g_onPackSleep = nullptr; }
    ResultCode Zip(bool verbose = true) {
        return ZipDirectoryTree(source.wstring(), archive.wstring(), verbose, console, sleep);
    }
    ParsedArchive Parse() {
        ParsedArchive parsed;
        ParseArchive(archive, parsed);
        return parsed;
    }

    TempDir dir;
    stdfs::path source = dir / "work";
    stdfs::path archive = dir / "package.tmp";
    FakeConsole console;
    SleepFn sleep = PackSleep;
};

// The parallel run must give what the sequential one gives, to the byte.
inline void ExpectSameRun(const PackRun& sequential, const PackRun& parallel,
                          const std::string& label) {
    EXPECT_EQ(parallel.result, sequential.result) << label;
    EXPECT_EQ(parallel.transcript, sequential.transcript) << label;
    EXPECT_EQ(parallel.sleeps, sequential.sleeps) << label;
    EXPECT_EQ(parallel.archive.size(), sequential.archive.size()) << label;
    const auto differ = std::mismatch(parallel.archive.begin(), parallel.archive.end(),
                                      sequential.archive.begin(), sequential.archive.end());
    EXPECT_TRUE(differ.first == parallel.archive.end())
        << label << ": archives differ from byte " << (differ.first - parallel.archive.begin());
}

}  // namespace qor::test
