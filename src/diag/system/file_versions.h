#pragma once
// "verdump.txt": the file versions of the suite's programs and libraries and of its drivers.
#include <string>

#include "common/result.h"

namespace qor {

// The installation directory's "*.exe" and "*.dll", then "qor*.*" of the system directory's
// "drivers" folder and of the system directory, then "*.*" of "drivers\Qor". A failure to
// take an entry of the installation directory ends the dump with that failure.
[[nodiscard]] ResultCode DumpFileVersions(std::wstring& text,
                                          const std::wstring& installDirectory) noexcept;
// The same with the system directory given.
[[nodiscard]] ResultCode DumpFileVersionsIn(std::wstring& text,
                                            const std::wstring& installDirectory,
                                            const std::wstring& systemDirectory) noexcept;

// "NAME VERSION\n" for a file whose version resource reads and parses; nothing otherwise.
[[nodiscard]] ResultCode AppendFileVersionLine(std::wstring& text,
                                               const std::wstring& path) noexcept;

}  // namespace qor
