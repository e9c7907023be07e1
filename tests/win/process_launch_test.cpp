// The process helpers against real children under Wine.
#include "platform/process_launch.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/path_join.h"
#include "platform/fs.h"
#include "platform/win/process_start_win.h"
#include "support/test_env.h"

namespace qor {
namespace {

std::wstring ProbePath() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"child_probe.exe";
}

std::wstring Probe(const std::wstring& actions) { return L"\"" + ProbePath() + L"\" " + actions; }

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(MillisecondsUntil, NoneOncePassedAndAtMostTheLargestWait) {
    using std::chrono::hours;
    EXPECT_EQ(MillisecondsUntil(CaptureClock::now() - hours(1)), 0u);
    EXPECT_EQ(MillisecondsUntil(CaptureClock::now() + hours(24 * 60)), 0xFFFFFFFFu);
    const std::uint32_t left = MillisecondsUntil(CaptureClock::now() + hours(1));
    EXPECT_GT(left, 3590000u);  // a slow emulated guest included
    EXPECT_LE(left, 3600000u);
}

TEST(CaptureCommandOutput, TakesBothOutputsInOrder) {
    test::ScratchDirectory dir;
    const std::wstring out = dir / L"out.txt";
    ASSERT_EQ(CaptureCommandOutput(Probe(L"out one err _two_ out \"three\r\n\""), out), 0);
    EXPECT_EQ(test::ReadBytes(out), "one_two_three\r\n");  // appending: test_command_captures.py

    // More than a pipe holds: nothing is lost, and the child is not stalled for the poll.
    const std::wstring big = dir / L"big.txt";
    const DWORD start = GetTickCount();
    ASSERT_EQ(CaptureCommandOutput(Probe(L"flood 300000"), big), 0);
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_EQ(test::ReadBytes(big), std::string(300000, 'f'));
}

TEST(CaptureCommandOutput, SilentChildAndMissingProgram) {
    test::ScratchDirectory dir;
    const std::wstring fresh = dir / L"fresh.txt";
    ASSERT_EQ(CaptureCommandOutput(Probe(L"sleep 10"), fresh), 0);
    EXPECT_EQ(test::ReadBytes(fresh), "");  // made, and empty

    const std::wstring kept = dir / L"kept.txt";
    test::WriteBytes(kept, "before");
    ASSERT_EQ(CaptureCommandOutput(Probe(L"sleep 10"), kept), 0);
    EXPECT_EQ(test::ReadBytes(kept), "before");

    const std::wstring none = dir / L"none.txt";
    EXPECT_EQ(CaptureCommandOutput(L"qor-no-such-program.exe /x", none), rc::FileNotFound);
    EXPECT_EQ(test::ReadBytes(none), "<missing>");

    EXPECT_EQ(CaptureCommandOutput(Probe(L"out x"), dir / L"no-folder\\x.txt"), SuiteError(0x3F));
}

TEST(CaptureCommandOutput, GivesUpOnAHungChildKeepingItsOutput) {
    test::ScratchDirectory dir;
    const std::wstring out = dir / L"hung.txt";
    const DWORD start = GetTickCount();
    const ResultCode code = CaptureCommandOutput(Probe(L"out early sleep 8000 out late"), out, 1500);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(Failed(code));
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(test::ReadBytes(out), "early");
}

// Captures started on several threads at once: a child started beside another capture must
// not hold that capture's pipe open, so each capture ends with its own child.
TEST(CaptureCommandOutput, SideBySideEachEndsWithItsOwnChild) {
    test::ScratchDirectory dir;
    std::atomic<DWORD> slowest{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {  // children that outlive the quick ones by far
        for (int i = 0; i < 8; ++i) {
            (void)CaptureCommandOutput(Probe(L"out s sleep 15000"), dir / L"slow.txt", 300);
        }
    });
    for (const wchar_t* name : {L"a.txt", L"b.txt"}) {
        threads.emplace_back([&, name] {
            for (int i = 0; i < 12; ++i) {
                const DWORD start = GetTickCount();
                EXPECT_EQ(CaptureCommandOutput(Probe(L"out q"), dir / name), 0);
                const DWORD took = GetTickCount() - start;
                if (took > slowest) slowest = took;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_LT(slowest, 6000u);  // far below the slow children's fifteen seconds
    EXPECT_EQ(test::ReadBytes(dir / L"a.txt"), std::string(12, 'q'));
    EXPECT_EQ(test::ReadBytes(dir / L"b.txt"), std::string(12, 'q'));
}

// Three steps side by side, each with one second: the deadline counts from before the wait
// for the other captures' start, so each capture has closed its file when its deadline is
// up, and the packing can take every file whole.
TEST(CaptureCommandOutput, SideBySideEachClosesItsFileByItsDeadline) {
    test::ScratchDirectory dir;
    std::vector<std::thread> threads;
    std::atomic<int> late{0};
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
        threads.emplace_back([&, name] {
            const auto deadline = CaptureClock::now() + std::chrono::seconds(1);
            EXPECT_TRUE(Failed(CaptureCommandOutput(Probe(L"out x sleep 20000"), dir / name,
                                                    deadline)));
            if (CaptureClock::now() > deadline + std::chrono::milliseconds(250)) ++late;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(late, 0);
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
        const HANDLE file = CreateFileW((dir / name).c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();  // no handle left open
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
}

// A step run ahead of its turn holds its child's console text: the same answers as
// LaunchAndWait, the text in memory up to its bound, and a hung child left after the wait.
TEST(LaunchAndWaitHeld, HoldsTheConsoleTextAndAnswersAsLaunchAndWait) {
    std::wstring text;
    EXPECT_EQ(LaunchAndWaitHeld(Probe(L"out \"one\r\n\" err \"_two\r\r\n\""), text), 0);
    EXPECT_EQ(text, L"one\n_two\r\n");

    const std::wstring missing = L"qor-no-such-program.exe /x";
    std::wstring none = L"left";
    EXPECT_EQ(LaunchAndWaitHeld(missing, none), LaunchAndWait(missing));
    EXPECT_EQ(none, L"");

    std::wstring flood;
    EXPECT_EQ(LaunchAndWaitHeld(Probe(L"flood 300000"), flood), 0);
    EXPECT_GT(flood.size(), 60000u);
    EXPECT_LE(flood.size(), 65536u);

    std::wstring early;
    const DWORD start = GetTickCount();
    EXPECT_EQ(LaunchAndWaitHeld(Probe(L"out early sleep 20000"), early), 0);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 4500u);
    EXPECT_LT(elapsed, 12000u);
    EXPECT_EQ(early, L"early");
}

TEST(LaunchAndWait, WaitsAtMostFiveSecondsAndLeavesTheChildRunning) {
    test::ScratchDirectory dir;
    const std::wstring quick = dir / L"quick", slow = dir / L"slow";
    DWORD start = GetTickCount();
    EXPECT_EQ(LaunchAndWait(Probe(L"touch \"" + quick + L"\"")), 0);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_TRUE(Exists(quick));

    start = GetTickCount();
    EXPECT_EQ(LaunchAndWait(Probe(L"sleep 7000 touch \"" + slow + L"\"")), 0);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 4900u);
    EXPECT_LT(elapsed, 6500u);
    EXPECT_FALSE(Exists(slow));
    for (int i = 0; i < 60 && !Exists(slow); ++i) Sleep(100);
    EXPECT_TRUE(Exists(slow));

    EXPECT_EQ(LaunchAndWait(L"qor-no-such-program.exe"), SuiteError(0x3F));
}

TEST(LaunchDetached, ReturnsAtOnceAndReportsAMissingProgram) {
    test::ScratchDirectory dir;
    const std::wstring marker = dir / L"marker";
    const DWORD start = GetTickCount();
    EXPECT_EQ(LaunchDetached(Probe(L"sleep 1000 touch \"" + marker + L"\"")), 0);
    EXPECT_LT(GetTickCount() - start, 900u);
    EXPECT_FALSE(Exists(marker));
    for (int i = 0; i < 50 && !Exists(marker); ++i) Sleep(100);
    EXPECT_TRUE(Exists(marker));
    EXPECT_EQ(LaunchDetached(L"qor-no-such-program.exe"), rc::FileNotFound);
}

// A same-named program planted in the current directory is never the one started.
TEST(ProcessSearch, IgnoresProgramsInTheCurrentDirectory) {
    test::ScratchDirectory dir;
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), (dir / L"cmd.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), (dir / L"qorplanted.exe").c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    HardenSearchPaths();
    const std::wstring out = dir / L"out.txt";
    const ResultCode genuine = CaptureCommandOutput(L"cmd.exe /c echo out PLANTED", out);
    const ResultCode planted = CaptureCommandOutput(L"qorplanted.exe out PLANTED", out);
    const ResultCode detached = LaunchDetached(L"qorplanted.exe out PLANTED");
    KernelHandle process;  // a relative program is refused, found or not
    const ResultCode relative = LaunchProgram(L"qorplanted.exe", L"qorplanted.exe out PLANTED", process);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(relative, ResultFromWin32(ERROR_BAD_PATHNAME));
    EXPECT_FALSE(process);
    EXPECT_EQ(genuine, 0);
    EXPECT_EQ(planted, rc::FileNotFound);
    EXPECT_EQ(detached, rc::FileNotFound);
    EXPECT_EQ(test::ReadBytes(out), "out PLANTED\r\n");  // the system's interpreter echoed it
}

}  // namespace
}  // namespace qor
