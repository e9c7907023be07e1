#pragma once
// "report.html" in the work directory, made from the files the run left there.
#include <cstddef>
#include <string>

#include "common/result.h"
#include "diag/run/report_page.h"

namespace qor {

inline constexpr const wchar_t* kReportPageName = L"report.html";
// Gathered files listed at most; the rest are only counted.
inline constexpr std::size_t kMaxListedFiles = 10000;

// The files at the top of the work directory (the page itself left out) with their first
// bytes, by name; the files in its folders, by path. Links are passed over.
[[nodiscard]] ResultCode ReadPageContent(const std::wstring& workDirectory, PageContent& content);

// Writes the page as a new file; an existing one is a failure.
[[nodiscard]] ResultCode WriteReportPage(const std::wstring& workDirectory,
                                         const std::wstring& installDirectory,
                                         const PageSystem& system) noexcept;

}  // namespace qor
