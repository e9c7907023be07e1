#include "diag/run/step_runner.h"

#include <future>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace qor {
namespace {

const ResultCode kTimedOut = ResultFromWin32(kWin32Timeout);

TEST(StepDeadline, WholeSecondsFromOneToAnHour) {
    EXPECT_EQ(StepDeadlineFromText(nullptr), kDefaultStepDeadlineMs);
    for (const std::wstring good : {L"1", L"5", L"0120", L"3600"}) {
        EXPECT_EQ(StepDeadlineFromText(&good), std::stoul(good) * 1000) << good.size();
    }
    for (const std::wstring bad : {L"", L"0", L"3601", L"5s", L"-5", L" 5", L"99999", L"1.5"}) {
        EXPECT_EQ(StepDeadlineFromText(&bad), kDefaultStepDeadlineMs) << bad.size();
    }
}

// Real threads: a step held past its deadline is given up and its late text never arrives;
// the next step runs on a fresh thread.
TEST(StepRunner, InTimeOverrunAndTheStepAfter) {
    std::thread::id first, second;
    StepRunner quick(60 * 1000, {});
    std::wstring text;
    EXPECT_EQ(quick.Run([&](std::wstring& out) {
        first = std::this_thread::get_id();
        out = L"in time";
        return rc::FileNotFound;
    }, text), rc::FileNotFound);
    EXPECT_EQ(text, L"in time");
    EXPECT_EQ(quick.Run([&](std::wstring&) {
        second = std::this_thread::get_id();
        return rc::Ok;
    }), rc::Ok);
    EXPECT_EQ(first, second);  // one thread while steps end in time
    EXPECT_NE(first, std::this_thread::get_id());

    // Shared with the thread that is given up, which may outlive this test's frame.
    std::promise<void> release;
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> lateEnd = ended->get_future();
    StepRunner held(20, {});
    text = L"before";
    EXPECT_EQ(held.Run([released = release.get_future().share(), ended](std::wstring& out) {
        released.wait();
        out = L"late";
        ended->set_value();
        return rc::Ok;
    }, text), kTimedOut);
    EXPECT_TRUE(StepThreadAbandoned());
    std::thread::id fresh;
    std::wstring next;
    release.set_value();
    lateEnd.wait();
    EXPECT_EQ(text, L"before");
    EXPECT_EQ(held.Run([&](std::wstring& out) {
        fresh = std::this_thread::get_id();
        out = L"next";
        return rc::Ok;
    }, next), rc::Ok);
    EXPECT_EQ(next, L"next");
    EXPECT_NE(fresh, std::this_thread::get_id());
}

}  // namespace
}  // namespace qor
