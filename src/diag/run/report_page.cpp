#include "diag/run/report_page.h"

#include <algorithm>
#include <cwctype>

#include "common/result_names.h"
#include "common/text_format.h"
#include "common/time_fields.h"
#include "diag/run/report_facts.h"
#include "diag/run/report_text.h"
#include "product/product_constants.h"

namespace qor {
namespace {

// No script and nothing loaded from anywhere; only the page's own style.
constexpr const char* kHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'">
<title>QorFwDiag diagnostics report</title>
<style>
body{font:14px/1.45 Segoe UI,Arial,sans-serif;margin:1.5em;color:#1e1e1e;background:#fff}
h1{font-size:1.5em;margin:0 0 .6em}
h2{font-size:1.2em;display:inline}
h3{font-size:1em;margin:1em 0 .3em}
table{border-collapse:collapse;margin:.5em 0}
th,td{text-align:left;vertical-align:top;padding:.2em .7em;border-bottom:1px solid #ddd}
.facts th{background:#f2f4f7;white-space:nowrap}
.steps tr.failed{background:#fde4e4}
.steps tr.failed td:nth-child(2){color:#a40000;font-weight:bold}
.steps tr.skipped{color:#777}
.bar{display:inline-block;width:10em;height:.75em;background:#eceff3;margin-right:.5em}
.bar span{display:block;height:100%;background:#4b7bbd}
tr.failed .bar span{background:#c0392b}
pre{background:#f7f7f7;border:1px solid #e2e2e2;padding:.6em;overflow:auto;max-height:40em;white-space:pre-wrap;word-break:break-all}
details{margin:.4em 0}
summary{cursor:pointer}
.note{color:#a40000}
.muted{color:#777}
</style>
</head>
<body>
)";

std::string Html(std::wstring_view text) { return EscapeHtml(text); }

std::string Number(std::uint64_t value) { return std::to_string(value); }

std::string Hex(ResultCode code) {
    return Html(FormatText(L"0x%x", static_cast<unsigned>(code)));
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

const PageDump* FindDump(const PageContent& content, std::wstring_view name) {
    for (const PageDump& dump : content.dumps) {
        if (SameName(dump.name, name) && Succeeded(dump.readCode)) return &dump;
    }
    return nullptr;
}

std::wstring DumpText(const PageContent& content, std::wstring_view name) {
    const PageDump* dump = FindDump(content, name);
    return dump ? DecodeFileText(dump->head) : std::wstring();
}

std::wstring FormatTime(std::int64_t time) {
    TimeFields t;
    if (TimeFieldsFromSystemTime(time, t) != rc::Ok) return L"-";
    return FormatText(L"%04u-%02u-%02u %02u:%02u:%02u", unsigned{t.year}, t.month,
                      unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
}

// "2026-12-06 23:50:12 (UTC+01:00)"
std::wstring FormatClock(const PageClock& clock) {
    constexpr std::int64_t kMinute = 600'000'000;
    const std::int64_t offset = clock.local - clock.universal;
    const std::int64_t minutes = (offset + (offset < 0 ? -kMinute : kMinute) / 2) / kMinute;
    const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
    return FormatTime(clock.local) +
           FormatText(L" (UTC%ls%02d:%02d)", minutes < 0 ? L"-" : L"+",
                      static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
}

std::string Or(std::wstring_view value, const char* missing) {
    return value.empty() ? std::string("<span class=\"muted\">") + missing + "</span>"
                         : Html(value);
}

void Fact(std::string& out, const char* name, const std::string& valueHtml, const char* id = "") {
    out += "<tr><th>";
    out += name;
    out += *id ? std::string("</th><td id=\"") + id + "\">" : std::string("</th><td>");
    out += valueHtml + "</td></tr>\n";
}

void AppendFacts(std::string& out, const PageContent& content, const RunLogRows& log) {
    const SystemFacts system = ParseSystemFacts(DumpText(content, L"sysdump.txt"));
    constexpr const char* kNotRecorded = "not recorded";
    out += "<table class=\"facts\">\n";
    Fact(out, "Tool",
         "QORFWDIAG build " + Number(ToolRevision) + ", product version " + Number(ProductVersion),
         "build");
    Fact(out, "Computer", Or(system.computer, kNotRecorded));
    Fact(out, "User", Or(system.user, kNotRecorded));
    Fact(out, "Windows", Or(system.windows, kNotRecorded));
    Fact(out, "Processor platform", Or(system.platform, kNotRecorded));
    Fact(out, "Installation directory", Or(content.installDirectory, "not found: the suite is not installed"));
    Fact(out, "Local date and time",
         content.madeAt ? Html(FormatClock(*content.madeAt)) : Or(L"", kNotRecorded));
    Fact(out, "Total time",
         log.totalMilliseconds ? Number(*log.totalMilliseconds) + " ms" : Or(L"", kNotRecorded));
    out += "</table>\n";
}

std::wstring CodeMeaning(ResultCode code, const ErrorTextFn& errorText) {
    if (code == rc::Ok) return {};
    if (const CodeName* name = FindSuiteCodeName(code)) {
        return std::wstring(name->name) + L": " + name->meaning;
    }
    if (const auto error = Win32ErrorOf(code)) {
        std::wstring text = errorText ? errorText(*error) : std::wstring();
        while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) text.pop_back();
        return FormatText(L"Windows error %u", *error) + (text.empty() ? L"" : L": " + text);
    }
    return {};
}

std::string RowClass(const StepRow& row) {
    if (row.outcome == L"Failed") return " class=\"failed\"";
    if (row.outcome == L"skipped") return " class=\"skipped\"";
    return {};
}

// The time as a bar scaled to the longest step.
std::string TimeBar(std::uint32_t milliseconds, std::uint32_t longest) {
    const std::uint64_t percent =
        longest == 0 ? 0 : (std::uint64_t{milliseconds} * 100 + longest - 1) / longest;
    return "<span class=\"bar\"><span style=\"width:" + Number(percent) + "%\"></span></span>" +
           Number(milliseconds) + " ms";
}

void AppendSteps(std::string& out, const RunLogRows& log, const ErrorTextFn& errorText) {
    std::uint32_t longest = 0;
    std::size_t failed = 0;
    for (const StepRow& row : log.steps) {
        longest = std::max(longest, row.milliseconds);
        failed += row.outcome == L"Failed" ? 1 : 0;
    }
    out += "<details open id=\"steps\"><summary><h2>Steps</h2> (" + Number(log.steps.size()) +
           ", " + Number(failed) + " failed)</summary>\n";
    if (log.steps.empty()) {
        out += "<p class=\"note\">The run log \"runlog.txt\" is not in the package.</p>\n";
    } else {
        out += "<table class=\"steps\">\n<thead><tr><th>Step</th><th>Outcome</th><th>Code</th>"
               "<th>Meaning</th><th>Time</th></tr></thead>\n<tbody>\n";
        for (const StepRow& row : log.steps) {
            out += "<tr" + RowClass(row) + "><td>" + Html(row.step) + "</td><td>" +
                   Html(row.outcome) + "</td><td><code>" + Hex(row.code) + "</code></td><td>" +
                   Html(CodeMeaning(row.code, errorText)) + "</td><td>" +
                   TimeBar(row.milliseconds, longest) + "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n";
    }
    out += "</details>\n";
}

// A report summary: its result line, then the text before it.
void AppendSummary(std::string& out, const PageContent& content, const char* title,
                   std::wstring_view name) {
    out += std::string("<h3>") + title + " (" + Html(name) + ")</h3>\n";
    if (!FindDump(content, name)) {
        out += "<p class=\"muted\">Not in the package.</p>\n";
        return;
    }
    const std::wstring text = DumpText(content, name);
    const SummaryParts parts = SplitReportSummary(text);
    if (!parts.resultLine.empty()) out += "<p><code>" + Html(parts.resultLine) + "</code></p>\n";
    out += "<pre>" + Html(parts.text) + "</pre>\n";
}

void AppendSuiteState(std::string& out, const PageContent& content) {
    out += "<details open id=\"suite\"><summary><h2>The suite's state</h2></summary>\n";
    AppendSummary(out, content, "Firewall driver", L"tdidump.txt");
    AppendSummary(out, content, "Firewall state", L"wddump.txt");
    AppendSummary(out, content, "Scanner engine version", L"aviversion.txt");
    out += "</details>\n";
}

void AppendDump(std::string& out, const PageDump& dump) {
    out += "<details class=\"dump\"><summary>" + Html(dump.name) + " (" + Number(dump.size) +
           " bytes)</summary>\n";
    if (Failed(dump.readCode)) {
        out += "<p class=\"note\">Could not be read: <code>" + Hex(dump.readCode) +
               "</code></p>\n</details>\n";
        return;
    }
    out += "<pre>" + FileBytesAsHtml(dump.head) + "</pre>\n";
    if (dump.size > dump.head.size()) {
        out += "<p class=\"note\">Cut at " + Number(dump.head.size()) + " bytes: " +
               Number(dump.size - dump.head.size()) + " of " + Number(dump.size) +
               " bytes left out here; the whole file is in the package.</p>\n";
    }
    out += "</details>\n";
}

void AppendFiles(std::string& out, const PageContent& content) {
    out += "<details id=\"files\"><summary><h2>Gathered files</h2> (" +
           Number(content.files.size() + content.filesLeftOut) + ")</summary>\n";
    out += "<table class=\"files\">\n<thead><tr><th>File</th><th>Size (bytes)</th>"
           "<th>Last written (UTC)</th></tr></thead>\n<tbody>\n";
    for (const PageFile& file : content.files) {
        out += "<tr><td>" + Html(file.path) + "</td><td>" + Number(file.size) + "</td><td>" +
               Html(FormatTime(file.lastWriteTime)) + "</td></tr>\n";
    }
    out += "</tbody>\n</table>\n";
    if (content.filesLeftOut != 0) {
        out += "<p class=\"note\">" + Number(content.filesLeftOut) + " more files not listed.</p>\n";
    }
    out += "</details>\n";
}

}  // namespace

std::string BuildReportPage(const PageContent& content, const ErrorTextFn& errorText) {
    const RunLogRows log = ParseRunLog(DumpText(content, L"runlog.txt"));
    std::string out = kHead;
    out += "<h1>QorFwDiag diagnostics report</h1>\n";
    AppendFacts(out, content, log);
    AppendSteps(out, log, errorText);
    AppendSuiteState(out, content);
    out += "<details open id=\"dumps\"><summary><h2>Dumps</h2> (" +
           Number(content.dumps.size()) + ")</summary>\n";
    for (const PageDump& dump : content.dumps) AppendDump(out, dump);
    out += "</details>\n";
    AppendFiles(out, content);
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace qor
