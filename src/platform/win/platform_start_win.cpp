#include "platform/platform_start.h"

#include <windows.h>

#include <cstring>

#include "common/random.h"
#include "platform/process_launch.h"

#include "platform/folder_table.h"
#include "platform/win/folder_sources_win.h"
#include "platform/win/library_load_win.h"
#include "platform/win/os_version_win.h"
#include "platform/win/process_registry_win.h"

namespace qor {
namespace {

// Run-time values of the process and the system; work directory names differ between runs.
void SeedProcessRandom() noexcept {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const int onStack = 0;
    const std::uint64_t values[] = {
        GetTickCount(), GetCurrentProcessId(), GetCurrentThreadId(),
        reinterpret_cast<std::uintptr_t>(&onStack), static_cast<std::uint64_t>(counter.QuadPart)};
    std::uint8_t bytes[sizeof(values)];
    std::memcpy(bytes, values, sizeof(values));
    SeedRandom(bytes);
}

}  // namespace

ResultCode StartPlatform() noexcept {
    HardenSearchPaths();  // before anything loads a library or starts a program
    RestrictLibrarySearch();
    if (const ResultCode code = InitOsVersionRecord(); Failed(code)) return code;
    static WinFolderSources folderSources(ProcessRegistry());
    ProcessSpecialFolders().Init(folderSources);
    SeedProcessRandom();
    return rc::Ok;
}

}  // namespace qor
