#include "maintenance/debug_logging.h"

#include <gtest/gtest.h>

#include <map>

#include "fakes/fake_install_sources.h"
#include "maintenance/log_config_file.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace qor {
namespace {

using Files = std::map<std::wstring, std::string>;

constexpr const char* kPriv = "[root]\r\nSeverity = INFO\r\n";
constexpr const char* kPub = "; public\r\n[root]\r\nAppender=file ;main\r\nSeverity=WARN\r\n";
constexpr const char* kFw = "[QOR.QORFW]\nSeverity = INFO\n[root]\nSeverity = INFO\n";
constexpr const char* kTdi = "[QOR.TDI]\r\nSeverity = INFO\r\n";
const std::string kMissingFile = "<missing>";

// The suite's log folder in a scratch directory, with the given files in it.
struct LogFolder {
    explicit LogFolder(const Files& files) {
        sources.InstallSuite(L"C:\\PF\\QOR", scratch.Path());
        EXPECT_EQ(fs::MakeDirectory(log), rc::Ok);
        sources.directories.insert(log);
        for (const auto& [name, bytes] : files) test::WriteBytes(log + L"\\" + name, bytes);
    }
    std::string Read(const wchar_t* name) const { return test::ReadBytes(log + L"\\" + name); }

    test::ScratchDirectory scratch;
    std::wstring log = scratch / L"log";
    test::FakeInstallSources sources;
    ProductInstallation installation{sources};
};

TEST(SetDebugLogging, ApplicationFilesChangeTheDriverFileStays) {
    LogFolder folder({{L"privlog.cfg", kPriv}, {L"publog.cfg", kPub}, {L"fwlog.cfg", kFw},
                      {L"tdilog.cfg", kTdi}});
    ASSERT_EQ(SetDebugLogging(folder.installation, severity::Debug, false), rc::Ok);
    EXPECT_EQ(folder.Read(L"privlog.cfg"), "[root]\r\nSeverity = DEBUG\r\n");
    EXPECT_EQ(folder.Read(L"publog.cfg"),
              "; public\r\n[root]\r\nAppender = file ;main\r\nSeverity = DEBUG\r\n");
    EXPECT_EQ(folder.Read(L"fwlog.cfg"),
              "[QOR.QORFW]\r\nSeverity = DEBUG\r\n\r\n[root]\r\nSeverity = INFO\r\n");
    EXPECT_EQ(folder.Read(L"tdilog.cfg"), kTdi);

    ASSERT_EQ(SetDebugLogging(folder.installation, severity::All, false), rc::Ok);
    EXPECT_EQ(folder.Read(L"privlog.cfg"), "[root]\r\nSeverity = ALL\r\n");
    EXPECT_EQ(SeverityName(-1), L"INFO");  // so is any other level
    ASSERT_EQ(SetDebugLogging(folder.installation, 12345, true), rc::Ok);
    EXPECT_EQ(folder.Read(L"tdilog.cfg"), "[QOR.TDI]\r\nSeverity = INFO\r\n");
    EXPECT_EQ(folder.Read(L"privlog.cfg"), "[root]\r\nSeverity = ALL\r\n");
}

TEST(SetDebugLogging, FailuresStopAtTheFileThatFails) {
    struct Case {
        const char* what;
        Files files;
        bool driver;
        ResultCode code;
        Files after;  // every file's bytes afterwards; kMissingFile when absent
    };
    const std::string privDebug = "[root]\r\nSeverity = DEBUG\r\n";
    const std::string pubDebug = "; public\r\n[root]\r\nAppender = file ;main\r\nSeverity = DEBUG\r\n";
    const Case cases[] = {
        {"no Severity key in privlog.cfg", {{L"privlog.cfg", "[root]\r\nLevel=1\r\n"}, {L"publog.cfg", kPub}},
         false, logcfg::NotFound, {{L"privlog.cfg", "[root]\r\nLevel=1\r\n"}, {L"publog.cfg", kPub}}},
        {"no privlog.cfg", {{L"publog.cfg", kPub}}, false, rc::FileNotFound,
         {{L"privlog.cfg", kMissingFile}, {L"publog.cfg", kPub}}},
        {"no root section in publog.cfg", {{L"privlog.cfg", kPriv}, {L"publog.cfg", "[Root]\nSeverity=INFO"}},
         false, logcfg::NotFound, {{L"privlog.cfg", privDebug}, {L"publog.cfg", "[Root]\nSeverity=INFO"}}},
        {"fwlog.cfg without its section", {{L"privlog.cfg", kPriv}, {L"publog.cfg", kPub}, {L"fwlog.cfg", "[root]\n"}},
         false, logcfg::NotFound, {{L"privlog.cfg", privDebug}, {L"publog.cfg", pubDebug}, {L"fwlog.cfg", "[root]\n"}}},
        {"no fwlog.cfg", {{L"privlog.cfg", kPriv}, {L"publog.cfg", kPub}}, false, rc::Ok,
         {{L"privlog.cfg", privDebug}, {L"publog.cfg", pubDebug}, {L"fwlog.cfg", kMissingFile}}},
        {"no tdilog.cfg", {{L"privlog.cfg", kPriv}}, true, rc::Ok,
         {{L"privlog.cfg", kPriv}, {L"tdilog.cfg", kMissingFile}}},
        {"tdilog.cfg without its key", {{L"tdilog.cfg", "[QOR.TDI]\r\n"}}, true, logcfg::NotFound,
         {{L"tdilog.cfg", "[QOR.TDI]\r\n"}}},
    };
    for (const Case& c : cases) {
        LogFolder folder(c.files);
        EXPECT_EQ(SetDebugLogging(folder.installation, severity::Debug, c.driver), c.code) << c.what;
        for (const auto& [name, bytes] : c.after) EXPECT_EQ(folder.Read(name.c_str()), bytes) << c.what;
    }
}

}  // namespace
}  // namespace qor
