#include "diag/run/command_launcher.h"

#include <new>

#include "common/path_join.h"

namespace qor {

ResultCode CaptureFilePath(const CaptureTarget& target, const wchar_t* name,
                           std::wstring& out) noexcept {
    try {
        out = JoinPath(target.workDirectory, name);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

}  // namespace qor
