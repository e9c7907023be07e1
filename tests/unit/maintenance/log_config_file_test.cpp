#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "fakes/fake_install_sources.h"
#include "maintenance/debug_logging.h"
#include "maintenance/log_config_file.h"
#include "platform/fs.h"
#include "platform/ansi_code_page.h"
#include "support/test_env.h"
#ifndef _WIN32
#include <unistd.h>

#include "platform/posix/native_path_posix.h"
#endif

namespace qor {
namespace {

std::wstring Resaved(std::wstring_view text) {
    LogConfigFile file;
    file.Parse(text);
    return file.Text();
}

struct TextCase { const char* what; const wchar_t* in; const wchar_t* out; };

TEST(LogConfigFile, SavedTextFollowsTheLineRules) {
    const TextCase cases[] = {
        {"sections sorted ordinally, case kept apart",
         L"[root]\nSeverity=INFO\n[defaultFileAppender]\nFile=a.log\n[Root]\nX=1",
         L"[Root]\r\nX = 1\r\n\r\n[defaultFileAppender]\r\nFile = a.log\r\n\r\n"
         L"[root]\r\nSeverity = INFO\r\n"},
        {"entries sorted, blank lines without a comment dropped",
         L"[s]\r\n\r\nb = 2\r\na=1\r\n\r\n", L"[s]\r\na = 1\r\nb = 2\r\n"},
        {"blank lines before a comment kept", L"[s]\n\n\n\n;note\nkey=v",
         L"[s]\r\n\r\n\r\n\r\n;note\r\nkey = v\r\n"},
        {"lone CR ends a line, indent skipped", L"[s]\r \t\vk\t=  v  ;  c  \r",
         L"[s]\r\nk = v ;  c  \r\n"},
        {"header comment goes before the header", L"; top\n[s] ;about s\nk=", L"; top\r\n;about s\r\n[s]\r\nk = \r\n"},
        {"quotes and escapes kept raw", L"[s]\nq = \"x;y\";c\nr = \"say \\\"hi\\\"\" next",
         L"[s]\r\nq = \"x;y\" ;c\r\nr = \"say \\\"hi\\\"\" next\r\n"},
        {"comment after the last entry is lost", L"[s]\nk=v\n;tail", L"[s]\r\nk = v\r\n"},
        {"one blank line between sections, more when a comment follows them",
         L"[a]\nk=1\n\n\n;about b\n[b]\nk=2\n;about c\n[c]\n\n[d]",
         L"[a]\r\nk = 1\r\n\r\n\r\n;about b\r\n[b]\r\nk = 2\r\n\r\n;about c\r\n[c]\r\n"
         L"\r\n[d]\r\n"},
        {"blank lines at the top kept before the first comment", L"\n\n;top\n[s]\n[r]",
         L"[r]\r\n\r\n\r\n\r\n;top\r\n[s]\r\n"},
        {"a comment with no text is an empty line of its block", L"[s] ;\n;\nk=v\n;\n\n;x\nm=1",
         L"\r\n[s]\r\n\r\nk = v\r\n\r\n\r\n;x\r\nm = 1\r\n"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Resaved(c.in), c.out) << c.what;
}

TEST(LogConfigFile, MalformedLinesAreDroppedAndListedWithTheirCodes) {
    LogConfigFile file;
    file.Parse(L"x=0\n[s]\na = \"x\"y\nnothing\nb = \"open\n[s]\nc=1\n[t\nd=1\n[u]\ne=1\ne=2");
    std::vector<std::pair<std::uint64_t, ResultCode>> errors;
    for (const LogConfigParseError& e : file.ParseErrors()) errors.emplace_back(e.line, e.code);
    const std::vector<std::pair<std::uint64_t, ResultCode>> expected = {
        {1, logcfg::EntryOutsideSection}, {3, logcfg::SyntaxError}, {4, logcfg::SyntaxError},
        {5, logcfg::SyntaxError},         {6, logcfg::DuplicateSection},
        {8, logcfg::NoClosingBracket},    {12, logcfg::DuplicateEntry}};
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(file.Text(), L"[s]\r\n\r\n[u]\r\ne = 1\r\n");
}

TEST(LogConfigFile, SetValueKeepsTheInlineComment) {
    LogConfigFile file;
    file.Parse(L"[root]\n; level\nSeverity = Info ; was Info\nOther = a b");
    LogConfigEntry* entry = nullptr;
    EXPECT_EQ(file.Find(L"Root", L"Severity", entry), logcfg::NotFound);
    EXPECT_EQ(file.Find(L"root", L"severity", entry), logcfg::NotFound);
    ASSERT_EQ(file.Find(L"root", L"Other", entry), rc::Ok);
    LogConfigFile::SetValue(*entry, L"x y z");
    EXPECT_FALSE(entry->multiValue);
    ASSERT_EQ(file.Find(L"root", L"Severity", entry), rc::Ok);
    LogConfigFile::SetValue(*entry, L"DEBUG");
    EXPECT_EQ(file.Text(), L"[root]\r\nOther = x y z\r\n; level\r\nSeverity = DEBUG ; was Info\r\n");
}

TEST(LogConfigFile, BytesDecodedByTheirMark) {
    struct Case { std::string bytes; ResultCode code; std::wstring text; };
    const Case cases[] = {
        {std::string("\xFF\xFE[\0s\0]\0", 8), rc::Ok, L"[s]"},
        {std::string("\xFE\xFF\0[\0\xE9", 6), rc::Ok, L"[\u00E9"},
        {"\xEF\xBB\xBF\xC3\xA9\xFFx", rc::Ok, L"\u00E9\uFFFDx"},
        {"\xE9\x80\x81", rc::Ok, L"\u00E9\u20AC\u0081"},
        {"\xFF\xFE[\0s", rc::BadLength, L"unchanged"},
        {std::string("a\0b", 3), rc::Ok, std::wstring(L"a\0b", 3)},
    };
    for (const Case& c : cases) {
        std::wstring text = L"unchanged";
        EXPECT_EQ(DecodeConfigText(c.bytes, text), c.code) << c.bytes;
        EXPECT_EQ(text, c.text) << c.bytes;
    }
}

// Lines drawn from the shapes a configuration file has, well and badly formed.
std::wstring RandomConfig(std::mt19937& random) {
    static const wchar_t* const kLines[] = {
        L"", L"  ", L";", L"; note", L";x", L"[a]", L"[b] ;hb", L"[B]", L"[a", L"[]",
        L"k=1", L"k = \"q r\" ;c", L"K=v w", L"m=", L"m = \"open", L"n = \"a\"b", L"= bare",
        L"\tp=\"a\\\"b\";", L"junk", L"x=y;", L"[c];",
    };
    static const wchar_t* const kEnds[] = {L"\r\n", L"\n", L"\r"};
    std::wstring text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
        text += kLines[random() % std::size(kLines)];
        text += kEnds[random() % std::size(kEnds)];
    }
    return text;
}

// A block read back from its saved text: its empty lines at the end are blank lines that no
// comment follows.
CommentBlock ReadBack(CommentBlock block) {
    while (!block.empty() && block.back().empty()) block.pop_back();
    return block;
}

// Every section's comment and every entry's parts, in order; `saved`: as they come back
// after a save.
auto Content(const LogConfigFile& file, bool saved = false) {
    const auto block = [saved](const CommentBlock& b) { return saved ? ReadBack(b) : b; };
    using Entry = std::tuple<std::wstring, std::wstring, std::vector<std::wstring>, CommentBlock,
                             std::optional<std::wstring>>;
    std::vector<std::tuple<std::wstring, CommentBlock, std::vector<Entry>>> sections;
    for (const auto& [name, section] : file.Sections()) {
        std::vector<Entry> entries;
        for (const auto& [key, e] : section.entries) {
            entries.emplace_back(key, e.rawValue, e.items, block(e.comment), e.inlineComment);
        }
        sections.emplace_back(name, block(section.comment), std::move(entries));
    }
    return sections;
}

// Empty comment lines come back as blank lines once: from the second save on, no byte changes.
TEST(LogConfigFile, LoadSaveLoadKeepsTheContentAndSavingAgainChangesNoByte) {
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        const std::wstring text = RandomConfig(random);
        LogConfigFile first;
        first.Parse(text);
        LogConfigFile second;
        second.Parse(first.Text());
        ASSERT_EQ(Content(first, true), Content(second)) << "round " << round;
        ASSERT_TRUE(second.ParseErrors().empty()) << "round " << round;
        const std::wstring saved = second.Text();
        LogConfigFile third;
        third.Parse(saved);
        ASSERT_EQ(Content(third), Content(second)) << "round " << round;
        ASSERT_EQ(third.Text(), saved) << "round " << round;
    }
}

using Files = std::map<std::wstring, std::string>;

constexpr const char* kPriv = "[root]\r\nSeverity = INFO\r\n";
constexpr const char* kPub = "; public\r\n[root]\r\nAppender=file ;main\r\nSeverity=WARN\r\n";
constexpr const char* kFw = "[QOR.QORFW]\nSeverity = INFO\n[root]\nSeverity = INFO\n";
constexpr const char* kTdi = "[QOR.TDI]\r\nSeverity = INFO\r\n";

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

// A save puts a new file in place of the old one: another name of the old file keeps the old
// bytes, as the file itself does when a save fails.
TEST(LogConfigFile, SaveReplacesTheFileInsteadOfRewritingIt) {
#ifdef _WIN32
    GTEST_SKIP() << "hard links made on host";
#else
    test::ScratchDirectory dir;
    const std::wstring path = dir / L"privlog.cfg";
    test::WriteBytes(path, kPriv);
    ASSERT_EQ(link(fs::NativePath(path).c_str(), fs::NativePath(dir / L"other.cfg").c_str()), 0);
    LogConfigFile file;
    ASSERT_EQ(file.Load(path), rc::Ok);
    LogConfigEntry* entry = nullptr;
    ASSERT_EQ(file.Find(L"root", L"Severity", entry), rc::Ok);
    LogConfigFile::SetValue(*entry, L"DEBUG");
    ASSERT_EQ(file.Save(path), rc::Ok);
    EXPECT_EQ(test::ReadBytes(path), "[root]\r\nSeverity = DEBUG\r\n");
    EXPECT_EQ(test::ReadBytes(dir / L"other.cfg"), kPriv);
#endif
}

// The native open takes paths past the 260 characters of the Win32 calls.
TEST(LogConfigFile, LoadsThroughAPathLongerThanMaxPath) {
    test::ScratchDirectory scratch;
    std::wstring folder = scratch.Path();
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(100, L'd');
        ASSERT_EQ(fs::MakeDirectory(folder), rc::Ok);
    }
    const std::wstring path = folder + L"\\privlog.cfg";
    test::WriteBytes(path, kPriv);
    LogConfigFile file;
    ASSERT_EQ(file.Load(path), rc::Ok);
    LogConfigEntry* entry = nullptr;
    EXPECT_EQ(file.Find(L"root", L"Severity", entry), rc::Ok);
}

// Where the ANSI code page is UTF-8 (or UTF-7) the system's conversion refuses a default
// character: every save would fail.
TEST(LogConfigFile, NoDefaultCharacterWhereTheCodePageIsUtf8) {
    EXPECT_EQ(DefaultCharacterFor(65001), nullptr);
    EXPECT_EQ(DefaultCharacterFor(65000), nullptr);
    for (const std::uint32_t codePage : {1252u, 1251u, 932u, 936u}) {
        ASSERT_NE(DefaultCharacterFor(codePage), nullptr) << codePage;
        EXPECT_STREQ(DefaultCharacterFor(codePage), "?") << codePage;
    }
}

// The menu's switches, a missing file or key and the stop before the next file are checked
// byte for byte end to end (test_debug_logging.py); here the other sections and files.
TEST(SetDebugLogging, ApplicationFilesChangeTheDriverFileStaysFailuresStopAtTheFile) {
    // `after`: every file's bytes afterwards.
    struct Case { const char* what; Files files; bool driver; ResultCode code; Files after; };
    const std::string privDebug = "[root]\r\nSeverity = DEBUG\r\n";
    const std::string pubDebug = "; public\r\n[root]\r\nAppender = file ;main\r\nSeverity = DEBUG\r\n";
    const Case cases[] = {
        {"all four files", {{L"privlog.cfg", kPriv}, {L"publog.cfg", kPub}, {L"fwlog.cfg", kFw}, {L"tdilog.cfg", kTdi}},
         false, rc::Ok, {{L"privlog.cfg", privDebug}, {L"publog.cfg", pubDebug}, {L"tdilog.cfg", kTdi},
                         {L"fwlog.cfg", "[QOR.QORFW]\r\nSeverity = DEBUG\r\n\r\n[root]\r\nSeverity = INFO\r\n"}}},
        {"no root section in publog.cfg", {{L"privlog.cfg", kPriv}, {L"publog.cfg", "[Root]\nSeverity=INFO"}},
         false, logcfg::NotFound, {{L"privlog.cfg", privDebug}, {L"publog.cfg", "[Root]\nSeverity=INFO"}}},
        {"fwlog.cfg without its section", {{L"privlog.cfg", kPriv}, {L"publog.cfg", kPub}, {L"fwlog.cfg", "[root]\n"}},
         false, logcfg::NotFound, {{L"privlog.cfg", privDebug}, {L"publog.cfg", pubDebug}, {L"fwlog.cfg", "[root]\n"}}},
        {"tdilog.cfg without its key", {{L"tdilog.cfg", "[QOR.TDI]\r\n"}}, true, logcfg::NotFound,
         {{L"tdilog.cfg", "[QOR.TDI]\r\n"}}},
    };
    for (const Case& c : cases) {
        LogFolder folder(c.files);
        EXPECT_EQ(SetDebugLogging(folder.installation, severity::Debug, c.driver), c.code) << c.what;
        for (const auto& [name, bytes] : c.after) EXPECT_EQ(folder.Read(name.c_str()), bytes) << c.what;
    }
    // Any other level is written as INFO.
    EXPECT_EQ(SeverityName(-1), L"INFO");
    EXPECT_EQ(SeverityName(12345), L"INFO");
}

}  // namespace
}  // namespace qor
