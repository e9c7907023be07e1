// Prints what the platform start found: every special folder, every product directory
// kind and the log folder, one "name: value" line each (value "error 0x..." on failure).
#include <cstdio>
#include <string>

#include "product/install_sources_win.h"
#include "product/product_constants.h"
#include "platform/platform_start.h"
#include "platform/folder_table.h"

namespace {

void PrintOutcome(const wchar_t* name, unsigned number, qor::ResultCode code,
                  const std::wstring& value) {
    if (code == qor::rc::Ok) {
        std::wprintf(L"%ls %u: %ls\n", name, number, value.c_str());
    } else {
        std::wprintf(L"%ls %u: error 0x%08x\n", name, number, static_cast<unsigned>(code));
    }
}

}  // namespace

int wmain() {
    if (const qor::ResultCode started = qor::StartPlatform(); qor::Failed(started)) return started;
    for (unsigned id = 0; id <= qor::folder::Count; ++id) {
        std::wstring path;
        PrintOutcome(L"folder", id, qor::GetSpecialFolder(id, path), path);
    }
    qor::ProductInstallation& installation = qor::ProcessInstallation();
    for (unsigned kind = 0; kind <= 10; ++kind) {
        std::wstring directory;
        PrintOutcome(L"kind", kind,
                     installation.LookupProductDirectory(kind, directory, std::nullopt,
                                                         qor::ProductGeneration),
                     directory);
    }
    std::wstring log;
    installation.GetLogDirectory(log);
    std::wprintf(L"log: %ls\n", log.c_str());
    return 0;
}
