#pragma once
// The package's report page "report.html": one self-contained HTML document, without script,
// that tells support what the run found and which steps failed.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"

namespace qor {

// The system's text for a Windows error number, English where the system has it; empty
// when it has none.
using ErrorTextFn = std::function<std::wstring(std::uint32_t error)>;

// One reading of the clock in 100-ns units since 1601: universal and local wall-clock time.
struct PageClock {
    std::int64_t universal = 0;
    std::int64_t local = 0;
};

// What only the system can tell the page; either may be empty, and the page does without.
struct PageSystem {
    ErrorTextFn errorText;
    std::function<PageClock()> now;
};

// A file at the top of the work directory, shown in a part of its own.
struct PageDump {
    std::wstring name;
    std::uint64_t size = 0;
    std::string head;              // its first bytes, cut where TextCutPoint says
    ResultCode readCode = rc::Ok;  // a failure: the file could not be read
};

// A file in a folder of the work directory (logs, configurations, INF files), listed only.
struct PageFile {
    std::wstring path;  // relative to the work directory
    std::uint64_t size = 0;
    std::int64_t lastWriteTime = 0;  // 100-ns units since 1601, universal
};

struct PageContent {
    std::wstring installDirectory;  // empty: the suite was not found
    std::optional<PageClock> madeAt;
    std::vector<PageDump> dumps;
    std::vector<PageFile> files;
    std::size_t filesLeftOut = 0;  // beyond the listing's limit
};

// The page as UTF-8.
std::string BuildReportPage(const PageContent& content, const ErrorTextFn& errorText);

}  // namespace qor
