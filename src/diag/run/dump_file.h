#pragma once
// The writer of the tool's own text dumps: UTF-16LE with a byte-order mark and a header line.
#include <string>

#include "common/result.h"

namespace qor {

// Header line and text; every LF becomes CR LF unless the two already hold a CR LF.
std::wstring DumpFileText(const std::wstring& text);

// `fileName` may be a full path. The directory must exist.
[[nodiscard]] ResultCode WriteDumpFile(const std::wstring& directory, const std::wstring& fileName,
                                       const std::wstring& text);

// The text followed by "Operation result code: %i (0x%x)\n".
[[nodiscard]] ResultCode WriteReportSummary(const std::wstring& directory,
                                            const std::wstring& fileName,
                                            const std::wstring& text, ResultCode code);

}  // namespace qor
