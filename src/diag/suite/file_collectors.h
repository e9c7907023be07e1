#pragma once
// The collectors that copy the suite's and the system's files into the work directory.
#include <string>

#include "common/result.h"
#include "diag/suite/product_folders.h"

namespace qor {

// "*.cfg" of the suite's all-users "cfg" folder into W\cfgs.
[[nodiscard]] ResultCode CollectConfigFiles(GatheringSources& sources,
                                            const std::wstring& workDirectory) noexcept;
// Product log folders (full set only) into W\logs\<mangled folder>, the system's and the
// installers' logs into W\logs. Failed copies are not reported; a missing path is.
[[nodiscard]] ResultCode CollectLogFiles(GatheringSources& sources,
                                         const std::wstring& workDirectory,
                                         bool fullSet) noexcept;
// "oem*.inf" of the Windows inf folder into W\infs.
[[nodiscard]] ResultCode CollectInfFiles(GatheringSources& sources,
                                         const std::wstring& workDirectory) noexcept;
// The catalog database error log as W\catdberr.txt; an existing target is never replaced.
[[nodiscard]] ResultCode CollectCatalogLog(GatheringSources& sources,
                                           const std::wstring& workDirectory) noexcept;

}  // namespace qor
