#include "frontend/command_line.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

CommandKind KindOf(std::vector<std::wstring> args) { return ParseCommandLine(args).kind; }

TEST(ParseCommandLine, HelpIsOneArgumentAfterAnySwitchCharacter) {
    for (const wchar_t* arg : {L"-h", L"/help", L"-?", L"xhelp", L"\u00e9h"}) {
        EXPECT_EQ(KindOf({arg}), CommandKind::Help) << arg;
    }
    for (const wchar_t* arg : {L"-H", L"-HELP", L"-help ", L"--help", L"h", L"-", L""}) {
        EXPECT_EQ(KindOf({arg}), CommandKind::Menu) << arg;
    }
    EXPECT_EQ(KindOf({L"-help", L"extra"}), CommandKind::Menu);
}

TEST(ParseCommandLine, RepairIsExactAndAlone) {
    EXPECT_EQ(KindOf({L"/repairinfcache"}), CommandKind::RepairInfCache);
    EXPECT_EQ(KindOf({L"-RepairInfCache"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"-repairinfcachex"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"-repairinfcache", L"x"}), CommandKind::Menu);
}

TEST(ParseCommandLine, RunNeedsTwoNonEmptyArguments) {
    const Command run = ParseCommandLine({L"-run", L"C:\\out dir\\pkg.zip"});
    EXPECT_EQ(run.kind, CommandKind::RunToFile);
    EXPECT_EQ(run.fileName, L"C:\\out dir\\pkg.zip");

    EXPECT_EQ(KindOf({L"-run"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"-run", L""}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"", L"file"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"-Run", L"file"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({L"-run", L"a", L"b"}), CommandKind::Menu);
    EXPECT_EQ(KindOf({}), CommandKind::Menu);
}

TEST(ParseCommandLine, OddArgumentsFallBackToTheMenu) {
    const std::wstring lone_high{static_cast<wchar_t>(0xD800)};
    EXPECT_EQ(KindOf({lone_high}), CommandKind::Menu);
    EXPECT_EQ(KindOf({lone_high + L"h"}), CommandKind::Help);  // one unit skipped, as any switch
    EXPECT_EQ(KindOf({std::wstring(40000, L'-')}), CommandKind::Menu);
    const Command run = ParseCommandLine({L"-run", lone_high});
    EXPECT_EQ(run.kind, CommandKind::RunToFile);
    EXPECT_EQ(run.fileName, lone_high);
}

}  // namespace
}  // namespace qor
