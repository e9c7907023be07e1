#include "frontend/logging_actions.h"

#include <gtest/gtest.h>

#include "fakes/fake_console.h"
#include "fakes/fake_install_sources.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace qor {
namespace {

TEST(LoggingActions, MessageOnSuccessErrorReportOnFailure) {
    test::ScratchDirectory scratch;
    test::FakeInstallSources sources;
    sources.InstallSuite(L"C:\\PF\\QOR", scratch.Path());
    const std::wstring log = scratch / L"log";
    ASSERT_EQ(fs::MakeDirectory(log), rc::Ok);
    sources.directories.insert(log);
    ProductInstallation installation(sources);
    test::WriteBytes(log + L"\\privlog.cfg", "[root]\nSeverity=INFO\n");
    test::WriteBytes(log + L"\\publog.cfg", "[root]\nSeverity=INFO\n");
    test::WriteBytes(log + L"\\tdilog.cfg", "[QOR.TDI]\nSeverity=INFO\n");

    test::FakeConsole console;
    EnableDebugLogging(console, installation, false);
    EnableAllDebugLogging(console, installation);
    DisableDebugLogging(console, installation, true);
    EXPECT_EQ(console.output,
              L"\nDEBUG logs are ENABLED.\nPlease note QOR is logging which might influence its "
              L"performance (speed)!"
              L"\nALL logs are ENABLED.\nPlease note QOR is heavily logging which greatly "
              L"influences its performance (speed)!"
              L"\nDebug logs disabled.");
    EXPECT_EQ(test::ReadBytes(log + L"\\publog.cfg"), "[root]\r\nSeverity = ALL\r\n");

    test::WriteBytes(log + L"\\publog.cfg", "[root]\n");
    console.output.clear();
    DisableDebugLogging(console, installation, false);
    EXPECT_EQ(console.output,
              L"Error caught:\nQorFwDiag error: e0010015\n\n"
              L"Please provide it to your Technical Support contact.\n");
}

}  // namespace
}  // namespace qor
