// The error conversion, the service manager and the suite's module loader against what Wine
// really does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/result.h"
#include "diag/run/run_platform_win.h"
#include "platform/win/code_page_win.h"
#include "platform/win/service_control_win.h"
#include "product/module_loader_win.h"
#include "product/suite_module_abi_win.h"
#include "unit/support/test_env.h"

namespace qor {
namespace {

TEST(ResultFromNtStatus, UsesTheSystemConversion) {
    EXPECT_EQ(ResultFromNtStatus(0xC0000034), rc::FileNotFound);       // object name not found
    EXPECT_EQ(ResultFromNtStatus(0xC000003A), rc::PathNotFound);       // object path not found
    EXPECT_EQ(ResultFromNtStatus(0xC0000022), SuiteError(0x58));       // access denied
    EXPECT_EQ(ResultFromNtStatus(0xC0000010), rc::InvalidFunction);    // invalid device request
    EXPECT_EQ(ResultFromNtStatus(0x80000006), static_cast<ResultCode>(0xA0010046));  // no more files
}

// The system's conversion to a code page: no default character where it refuses one (UTF-8
// would fail every save), "?" elsewhere; and the lead bytes of a double-byte code page.
TEST(CodePages, DefaultCharacterAndLeadBytes) {
    std::string bytes;
    ASSERT_EQ(ToCodePage(CP_UTF8, L"caf\xE9 \x4E2D", bytes), rc::Ok);
    EXPECT_EQ(bytes, "caf\xC3\xA9 \xE4\xB8\xAD");
    ASSERT_EQ(ToCodePage(1252, L"caf\xE9 \x4E2D", bytes), rc::Ok);
    EXPECT_EQ(bytes, "caf\xE9 ?");

    const LeadByteTable japanese = LeadBytesOf(932);
    EXPECT_TRUE(japanese[0x81] && japanese[0x9F] && japanese[0xE0]);
    EXPECT_FALSE(japanese[0x41] || japanese[0x80] || japanese[0xA0]);
    EXPECT_EQ(LeadBytesOf(1252), LeadByteTable{});
}

// The report page's texts for Windows errors: one line in English; nothing for an unknown number.
TEST(PageSystem, ErrorTextsAndTheLocalClock) {
    const PageSystem system = WinPageSystem();
    const std::wstring denied = system.errorText(5);
    EXPECT_NE(denied.find(L"denied"), std::wstring::npos) << "Windows and Wine word it apart";
    EXPECT_EQ(denied.find(L'\n'), std::wstring::npos);
    EXPECT_FALSE(system.errorText(1060).empty());
    EXPECT_EQ(system.errorText(0xFFFF), L"");
    const PageClock now = system.now();
    constexpr std::int64_t kDay = 864'000'000'000;
    EXPECT_LT(now.local - now.universal, kDay);
    EXPECT_GT(now.local - now.universal, -kDay);
}

std::unique_ptr<ServiceControl> OpenNamed(const wchar_t* name) {
    LocalServiceManager manager;
    std::unique_ptr<ServiceControl> service;
    EXPECT_EQ(manager.Open(name, service), rc::Ok) << name;
    return service;
}

// Starting a stopped service is checked end to end (test_firewall_driver.py).
TEST(ServiceControl, MissingServiceGivesTheConvertedError) {
    EXPECT_EQ(static_cast<std::uint32_t>(StartServiceAndWait(L"QorNoSuchService").Code()),
              0xC0070424u);  // ERROR_SERVICE_DOES_NOT_EXIST
}

TEST(ServiceControl, RunningServiceRefusesASecondStart) {
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
}

// The module manager with the system loader and the testbed's configuration module copied in
// as "qorcfgx.dll"; answers the creation's code and the calls recorded.
ResultCode CreateWith(const test::ScratchDirectory& dir, const char* variant, std::string& calls) {
    if (variant) {
        const std::wstring from(variant, variant + std::strlen(variant));
        EXPECT_TRUE(CopyFileW(from.c_str(), (dir / L"qorcfgx.dll").c_str(), FALSE));
    }
    ResultCode code;
    {
        WinModuleLoader loader;
        SuiteModuleManager manager(loader);
        manager.SetDirectory(dir.Path());
        void* object = nullptr;
        code = manager.CreateObject(iid::Configuration, &object);
        if (Succeeded(code)) {
            EXPECT_NE(object, nullptr);
            const ModuleObjectRef release(object);
        }
    }
    calls = test::ReadBytes(dir / L"qorcfgx-calls.txt");
    return code;
}

TEST(SuiteModulesWin, FactoryAndHooksOfEachVariant) {
    struct Case { const char* variant; const char* calls; } cases[] = {
        {QOR_TESTBED_CFG_LEGACY,
         "init\nget-object bda9c642 f049856a 67654091 a8988f4e\nrelease configuration\nfinish\n"},
        {QOR_TESTBED_CFG_INITONLY, "get-object2 16\nrelease configuration\n"},
    };
    for (const Case& c : cases) {
        test::ScratchDirectory dir;
        std::string calls;
        EXPECT_EQ(CreateWith(dir, c.variant, calls), rc::Ok) << c.variant;
        EXPECT_EQ(calls, c.calls) << c.variant;
    }
}

TEST(SuiteModulesWin, MissingOrInvalidModuleGivesTheLoadersCode) {
    test::ScratchDirectory dir;
    std::string calls;
    EXPECT_EQ(CreateWith(dir, nullptr, calls), rc::PathNotFound);  // module not found
    test::WriteBytes(dir / L"qorcfgx.dll", "not a module");
    const ResultCode invalid = CreateWith(dir, nullptr, calls);
    EXPECT_TRUE(Failed(invalid)) << std::hex << invalid;
}

}  // namespace
}  // namespace qor
