#include "platform/platform_start.h"

#include "platform/special_folders.h"
#include "platform/win/folder_sources_win.h"
#include "platform/win/os_version_win.h"
#include "platform/win/process_registry_win.h"

namespace qor {

ResultCode StartPlatform() noexcept {
    if (const ResultCode code = InitOsVersionRecord(); Failed(code)) return code;
    static WinFolderSources folderSources(ProcessRegistry());
    ProcessSpecialFolders().Init(folderSources);
    return rc::Ok;
}

}  // namespace qor
