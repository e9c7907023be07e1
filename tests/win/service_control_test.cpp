#include "platform/win/service_control_win.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace qor {
namespace {

std::unique_ptr<ServiceControl> OpenNamed(const wchar_t* name) {
    LocalServiceManager manager;
    std::unique_ptr<ServiceControl> service;
    EXPECT_EQ(manager.Open(name, service), rc::Ok) << name;
    return service;
}

TEST(ServiceControl, MissingServiceGivesTheConvertedError) {
    EXPECT_EQ(static_cast<std::uint32_t>(StartServiceAndWait(L"QorNoSuchService").Code()),
              0xC0070424u);  // ERROR_SERVICE_DOES_NOT_EXIST
}

TEST(ServiceControl, RunningServiceRefusesASecondStartButCountsAsStarted) {
    const auto service = OpenNamed(L"PlugPlay");
    ASSERT_TRUE(service);
    ServiceStatus status;
    ASSERT_EQ(service->QueryStatus(status), rc::Ok);
    EXPECT_EQ(status.state, kServiceRunning);
    EXPECT_EQ(service->Start(), ResultFromWin32(ERROR_SERVICE_ALREADY_RUNNING));
    // Wine's lock query fails without an error of its own: no stale error, no answer.
    ServiceLockStatus lock{true, L"sentinel", 7};
    SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
    const ResultCode lockQuery = service->QueryLockStatus(lock);
    if (Succeeded(lockQuery)) {
        EXPECT_FALSE(lock.locked);
    } else {
        EXPECT_NE(lockQuery, ResultFromWin32(ERROR_SERVICE_ALREADY_RUNNING));
        EXPECT_EQ(lock.owner, L"sentinel");
    }
    EXPECT_TRUE(StartServiceAndWait(L"PlugPlay").IsSucceeded());
}

TEST(ServiceControl, StoppedServiceIsStartedAndRuns) {
    EXPECT_EQ(StartServiceAndWait(L"Spooler").Code(), rc::Ok);
    const auto service = OpenNamed(L"Spooler");
    ASSERT_TRUE(service);
    ServiceStatus status;
    ASSERT_EQ(service->QueryStatus(status), rc::Ok);
    EXPECT_EQ(status.state, kServiceRunning);
}

TEST(ServiceControl, SleepWaitsTheRelativeInterval) {
    const auto service = OpenNamed(L"PlugPlay");
    ASSERT_TRUE(service);
    const std::uint32_t before = service->TickCount();
    service->Sleep(200);
    EXPECT_GE(service->TickCount() - before, 180u);
}

}  // namespace
}  // namespace qor
