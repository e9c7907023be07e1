#pragma once
// Packs a directory tree into one ZIP archive, breadth first.
#include <cstdint>
#include <string>

#include "archive/zip_writer.h"
#include "common/result.h"
#include "common/console.h"

namespace qor {

using SleepFn = void (*)(std::uint32_t milliseconds);
void SleepMilliseconds(std::uint32_t milliseconds) noexcept;

// Every folder and file below `source` (links neither followed nor added; `archivePath`
// itself skipped) into a new archive at `archivePath`. Progress goes to `console` only when
// `verbose`. A file that cannot be opened is tried once more after 2000 ms, then left out.
// Folders are listed a bounded number of entries ahead of the writer (one without workers),
// their listings held open meanwhile, so memory does not grow with a folder's width.
// With `options.workers` above 1, that many threads pack files ahead of the one being written;
// for a tree that does not change meanwhile, the archive and the progress text are those of
// the sequential walk. A file a worker has already packed is written from that copy: if it
// becomes locked only by its turn, it is still added, without "locked, retrying...", and holds
// the content it had when the worker read it. After an output failure the workers stop.
[[nodiscard]] ResultCode ZipDirectoryTree(const std::wstring& source,
                                          const std::wstring& archivePath, bool verbose,
                                          Console& console, SleepFn sleep = SleepMilliseconds,
                                          const zip::ZipOptions& options = {}) noexcept;

}  // namespace qor
