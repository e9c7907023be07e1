#include "maintenance/ndis_installer.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/fake_install_sources.h"
#include "fakes/fake_program_starter.h"

namespace qor {
namespace {

class NdisInstallerTest : public ::testing::Test {
protected:
    NdisInstallerTest() {
        os.filled = true;
        os.processorClass = ProcessorClass::Amd64;
        sources.InstallSuite(L"C:\\PF\\QOR");
    }
    ResultCode Run(std::uint32_t operation) {
        NdisInstallerContext context{console, os, installation, starter};
        return RunNdisInstaller(context, operation, reboot);
    }

    test::FakeConsole console;
    OsVersionRecord os;
    test::FakeInstallSources sources;
    ProductInstallation installation{sources};
    test::FakeProgramStarter starter;
    std::uint32_t reboot = 7;
};

TEST_F(NdisInstallerTest, ExitCodesGiveVerdictResultAndRebootFlag) {
    const std::wstring kOk = L"NDIS operation OK. ";
    const std::wstring kError = L"Process terminated with an error. ";
    struct Case {
        std::uint32_t exitStatus;
        ResultCode result;
        std::uint32_t reboot;
        std::wstring verdict;
    } cases[] = {
        {0, 0, 0, kOk},
        {0x60018D39u, 0, 1, kOk},
        {1, 1, 7, kError},
        {0xE0010001u, SuiteError(0x01), 7, kError},
        {259, kNdisStillActive, 7, kError},
    };
    for (const Case& c : cases) {
        reboot = 7;
        console.output.clear();
        starter.scripts = {{.exitStatus = c.exitStatus}};
        EXPECT_EQ(Run(ndis_op::Uninstall), c.result) << c.exitStatus;
        EXPECT_EQ(reboot, c.reboot) << c.exitStatus;
        EXPECT_EQ(console.output, c.verdict) << c.exitStatus;
    }
    EXPECT_EQ(starter.closed, 5);
}

TEST_F(NdisInstallerTest, ProgramPathAndSwitches) {
    ASSERT_EQ(Run(ndis_op::Install), 0);
    ASSERT_EQ(Run(ndis_op::Uninstall), 0);
    sources.InstallSuite(L"C:\\PF\\QOR\\");
    os.processorClass = ProcessorClass::X86;
    ASSERT_EQ(Run(ndis_op::Reinstall), 0);
    os.processorClass = ProcessorClass::Ia64;
    ASSERT_EQ(Run(ndis_op::Install), 0);
    EXPECT_EQ(starter.programs,
              (std::vector<std::wstring>{L"C:\\PF\\QOR\\qorndisa.exe", L"C:\\PF\\QOR\\qorndisa.exe",
                                         L"C:\\PF\\QOR\\qorndisx.exe", L"C:\\PF\\QOR\\qorndis.exe"}));
    EXPECT_EQ(starter.commandLines,
              (std::vector<std::wstring>{L"C:\\PF\\QOR\\qorndisa.exe /Install",
                                         L"C:\\PF\\QOR\\qorndisa.exe /Uninstall",
                                         L"C:\\PF\\QOR\\qorndisx.exe /Reinstall",
                                         L"C:\\PF\\QOR\\qorndis.exe /Install"}));
}

TEST_F(NdisInstallerTest, FailuresBeforeTheExitCode) {
    const ResultCode kDenied = SuiteError(0x58);
    struct Case {
        test::FakeProgramStarter::Script script;
        ResultCode result;
        std::wstring verdict;
    } cases[] = {
        {{.start = rc::FileNotFound}, rc::FileNotFound, L"NDIS operation has failed. "},
        {{.wait = kDenied}, kDenied, L"Wait operation failed. "},
        {{.ended = false}, kNdisWaitAborted, L"Wait terminated unexpectedly. "},
        {{.query = rc::BufferTooSmall}, rc::BufferTooSmall,
         L"Process terminated but cannot get the error. "},
    };
    for (const Case& c : cases) {
        console.output.clear();
        starter.scripts = {c.script};
        EXPECT_EQ(Run(ndis_op::Install), c.result) << console.output;
        EXPECT_EQ(console.output, c.verdict);
        EXPECT_EQ(reboot, 7u);
    }
    EXPECT_EQ(starter.closed, 3);  // every child that started

    // No suite, or an unknown operation: nothing printed, nothing started.
    console.output.clear();
    EXPECT_EQ(Run(4), SuiteError(0x02));
    sources.registry = {};
    EXPECT_EQ(Run(ndis_op::Install), rc::RegistryKeyNotFound);
    EXPECT_EQ(console.output, L"");
    EXPECT_EQ(starter.programs.size(), 4u);
}

}  // namespace
}  // namespace qor
