#include "diag/run/report_page.h"

#include <gtest/gtest.h>

#include "common/path_join.h"
#include "common/text_encoding.h"
#include "diag/run/dump_file.h"
#include "diag/run/report_page_file.h"
#include "diag/run/report_text.h"
#include "fakes/run_harness.h"
#include "platform/fs.h"

namespace qor {
namespace {

using namespace std::string_literals;

constexpr std::int64_t kMinute = 600'000'000;
// 2026-12-06 09:41:35 UTC in 100-ns units since 1601.
constexpr std::int64_t kNow = 134'410'236'950'000'000;

std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Every element closed in order (the void meta elements apart), every quote paired, and no
// "<" outside a tag: a stray one from the content would open a tag that never matches.
::testing::AssertionResult WellFormed(const std::string& page) {
    std::vector<std::string> open;
    for (std::size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        const std::size_t end = page.find('>', at);
        if (end == std::string::npos) return ::testing::AssertionFailure() << "unclosed tag at " << at;
        const std::string tag = page.substr(at + 1, end - at - 1);
        if (Count(tag, "\"") % 2 != 0) return ::testing::AssertionFailure() << "quotes in <" << tag;
        const std::string name = tag.substr(0, tag.find_first_of(" >"));
        if (name[0] == '!' || name == "meta") continue;
        if (name[0] != '/') {
            open.push_back(name);
        } else if (open.empty() || open.back() != name.substr(1)) {
            return ::testing::AssertionFailure() << "<" << tag << "> closes " << (open.empty() ? "nothing" : open.back());
        } else {
            open.pop_back();
        }
    }
    if (!open.empty()) return ::testing::AssertionFailure() << open.back() << " left open";
    return ::testing::AssertionSuccess();
}

struct PageFixture : ::testing::Test {
    void Write(const std::wstring& name, const std::string& bytes) {
        test::WriteBytes(dir / name, bytes);
    }
    std::string Page(const std::wstring& installDirectory = L"C:\\Program Files\\QOR") {
        const PageSystem system{
            [](std::uint32_t error) {
                return error == 1060 ? std::wstring(L"The service <does not> exist.\r\n") : std::wstring();
            },
            [] { return PageClock{kNow, kNow + 5 * 60 * kMinute + 30 * kMinute}; }};
        EXPECT_EQ(WriteReportPage(dir.Path(), installDirectory, system), rc::Ok);
        return test::ReadBytes(dir / kReportPageName);
    }
    test::ScratchDirectory dir;
};

// Hostile dumps: markup, quotes, NUL, unpaired surrogates, an ANSI export and a 5 MB dump.
TEST_F(PageFixture, HostileDumpsAreEscapedDecodedAndCut) {
    // C1 controls (CSI among them) and a right-to-left override with its isolate closed.
    Write(L"evil.txt", Utf16File(u"<script>alert(1)</script> & \"q\" 'a' \0 \xD800 x \xDC00 end"
                                 u" \x85\x9B\x202Etxt.exe\x2069"s));
    Write(L"qor8dump.txt", "REGEDIT4\r\n\"Name\"=\"<script>window.hit=1</script> caf\xE9\"\r\n");
    Write(L"utf8.txt", "\xEF\xBB\xBF<b>\xE2\x82\xAC</b>");
    std::u16string big(5 * 1024 * 1024 / 2, u'a');
    big[kPageCutBytes / 2 - 2] = 0xD83D;  // a pair across the cut is kept out whole
    big[kPageCutBytes / 2 - 1] = 0xDE00;
    Write(L"big.txt", Utf16File(big));
    ASSERT_TRUE(fs::MakeDirectory(dir / L"logs") == rc::Ok);
    Write(L"logs\\a&b.log", std::string(300, 'x'));

    const std::string page = Page();
    EXPECT_TRUE(WellFormed(page));
    EXPECT_EQ(Count(page, "<script"), 0u);
    EXPECT_EQ(Count(page, "<b>"), 0u);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;q&quot; &#39;a&#39; "
                        "\xEF\xBF\xBD \xEF\xBF\xBD x \xEF\xBF\xBD end \xEF\xBF\xBD\xEF\xBF\xBD"
                        "\xEF\xBF\xBDtxt.exe\xEF\xBF\xBD"),
              std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;window.hit=1&lt;/script&gt; caf\xC3\xA9"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;\xE2\x82\xAC&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_EQ(ToUtf8(FromUtf8(page)), page) << "not valid UTF-8";
    EXPECT_NE(page.find("Cut at 1048574 bytes: 4194308 of 5242882 bytes left out"), std::string::npos)
        << "the cut keeps the mark and stops before the pair";
    EXPECT_LT(page.size(), 2u * kPageCutBytes);
    EXPECT_NE(page.find("<tr><td>logs\\a&amp;b.log</td><td>300</td>"), std::string::npos);
}

TEST_F(PageFixture, FactsAndStepsFromTheRunsOwnFiles) {
    ASSERT_EQ(WriteDumpFile(dir.Path(), L"sysdump.txt",
                            L"Windows 7 <Ultimate>, 6.1.7601 Build 7601\nPlatform AMD64, CPUs 4\n"
                            L"User ann, Computer x, Computer PC-1\n\nLocal time: ..\n"),
              rc::Ok);
    ASSERT_EQ(WriteDumpFile(dir.Path(), L"runlog.txt",
                            L"Driver\tOK\t0 (0x0)\t10 ms\n"
                            L"Route table\tFailed\t-536805315 (0xe001003d)\t40 ms\n"
                            L"Installed drivers\tFailed\t-1073282012 (0xc0070424)\t20 ms\n"
                            L"not a row\n"
                            L"Odd\tFailed\t-1 (0xffffffff)\t0 ms\n"
                            L"QOR versions\tskipped\t0 (0x0)\t0 ms\nTotal\t1234 ms\n"),
              rc::Ok);
    ASSERT_EQ(WriteReportSummary(dir.Path(), L"tdidump.txt", L"driver <text>\n", rc::InvalidFunction),
              rc::Ok);

    const std::string page = Page();
    EXPECT_TRUE(WellFormed(page));
    for (const char* fact :
         {"<td id=\"build\">QORFWDIAG build 241, product version 4203</td>",
          "<th>Computer</th><td>PC-1</td>", "<th>User</th><td>ann, Computer x</td>",
          "<th>Windows</th><td>Windows 7 &lt;Ultimate&gt;, 6.1.7601 Build 7601</td>",
          "<th>Processor platform</th><td>AMD64, CPUs 4</td>",
          "<td>C:\\Program Files\\QOR</td>", "<td>2026-12-06 15:11:35 (UTC+05:30)</td>",
          "<th>Total time</th><td>1234 ms</td>",
          "<p><code>Operation result code: -536805290 (0xe0010056)</code></p>\n<pre>driver &lt;text&gt;\r\n</pre>"}) {
        EXPECT_NE(page.find(fact), std::string::npos) << fact;
    }
    EXPECT_EQ(Count(page, "<tr class=\"failed\">"), 3u);
    EXPECT_NE(page.find("<tr class=\"failed\"><td>Route table</td><td>Failed</td><td><code>0xe001003d"
                        "</code></td><td>FileNotFound: file not found</td><td><span class=\"bar\">"
                        "<span style=\"width:100%\"></span></span>40 ms</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<code>0xc0070424</code></td><td>Windows error 1060: The service "
                        "&lt;does not&gt; exist.</td><td><span class=\"bar\"><span style=\"width:50%\">"),
              std::string::npos);
    EXPECT_NE(page.find("<code>0xffffffff</code></td><td></td>"), std::string::npos);
    EXPECT_NE(page.find("<tr class=\"skipped\"><td>QOR versions</td>"), std::string::npos);
    EXPECT_NE(page.find("(5, 3 failed)"), std::string::npos);
}

// Nothing to read from: every fact says so, and the local offset west of universal time.
TEST_F(PageFixture, EmptyWorkDirectoryAndNoSuite) {
    PageContent content;
    content.madeAt = PageClock{kNow, kNow - 3 * 60 * kMinute - 30 * kMinute};
    const std::string page = BuildReportPage(content, nullptr);
    EXPECT_TRUE(WellFormed(page));
    EXPECT_EQ(Count(page, ">not recorded<"), 5u);
    EXPECT_NE(page.find("not found: the suite is not installed"), std::string::npos);
    EXPECT_NE(page.find("2026-12-06 06:11:35 (UTC-03:30)"), std::string::npos);
    EXPECT_NE(page.find("runlog.txt\" is not in the package"), std::string::npos);

    const std::string again = Page(L"");
    EXPECT_NE(again.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';"),
              std::string::npos);
    EXPECT_TRUE(Failed(WriteReportPage(dir.Path(), L"", {}))) << "an existing page is kept";
}

TEST(ReportText, DecodingByMarkAndCutsThatSplitNoCharacter) {
    EXPECT_EQ(DecodeFileText("\xFF\xFE" "A\0\x3D\xD8\x00\xDE" "B"s),
              L"A" + FromUtf8("\xF0\x9F\x98\x80") + L"\xFFFD");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF\xC3\xA9"), L"\xE9");
    EXPECT_EQ(DecodeFileText("caf\xE9"), L"caf\xE9");
    EXPECT_EQ(DecodeFileText(""), L"");

    const std::string utf16 = "\xFF\xFE" "a\0\x3D\xD8\x00\xDE"s;
    EXPECT_EQ(TextCutPoint(utf16, 7), 4u);  // odd, and inside the pair
    EXPECT_EQ(TextCutPoint(utf16, 8), 8u);
    const std::string utf8 = "\xEF\xBB\xBF" "a\xE2\x82\xAC";
    EXPECT_EQ(TextCutPoint(utf8, 6), 4u);
    EXPECT_EQ(TextCutPoint("abcdef", 4), 4u);

    // Without a mark: the ANSI code page, byte by byte as Latin-1 when its conversion fails;
    // a cut keeps its two-byte characters whole (lead bytes as in code page 932).
    EXPECT_EQ(DecodeFileText("caf\xE9\x81", [](std::string_view, std::wstring&) -> ResultCode {
                  return rc::BadLength;
              }),
              L"caf\xE9\x81");
    LeadByteTable leads{};
    for (int lead = 0x81; lead <= 0xFC; ++lead) leads[lead] = lead <= 0x9F || lead >= 0xE0;
    const std::string sjis = "a\x82\x82\x82" "b\x88\x9F";
    for (const auto& [limit, cut] : {std::pair{2, 1}, {3, 3}, {4, 3}, {6, 5}}) {
        EXPECT_EQ(TextCutPoint(sjis, limit, leads), static_cast<std::size_t>(cut)) << limit;
    }
    EXPECT_EQ(TextCutPoint(sjis, 2, LeadByteTable{}), 2u);
}

// The page of a real run lies in its work directory with the run's steps.
TEST(ReportPage, WrittenByTheRunAfterItsLog) {
    test::RunHarness h;
    h.driverCode = rc::InvalidFunction;
    auto run = h.Make();
    run->SetRemoveWorkDirectory(false);
    std::wstring package;
    ASSERT_EQ(run->Run(package, FullSet).Code(), 0);
    const std::string page = test::ReadBytes(JoinPath(run->WorkDirectory(), kReportPageName));
    EXPECT_EQ(Count(page, "<tr class=\"failed\"><td>Driver</td><td>Failed</td><td><code>0xe0010056"
                          "</code></td><td>InvalidFunction: invalid function</td>"),
              20u);
    EXPECT_NE(page.find("<summary>procdmp.txt ("), std::string::npos);
    EXPECT_NE(page.find("<summary>runlog.txt ("), std::string::npos);
}

}  // namespace
}  // namespace qor
