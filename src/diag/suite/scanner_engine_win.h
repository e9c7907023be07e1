#pragma once
// The scanner engine version dump through the real engine client library.
#include <string>

#include "common/result.h"

namespace qor {

[[nodiscard]] ResultCode DumpScannerEngineVersion(std::wstring& text);

}  // namespace qor
