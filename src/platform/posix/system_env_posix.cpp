#include <cstdlib>
#include <ctime>

#include "platform/posix/native_path_posix.h"
#include "platform/system_env.h"

namespace qor {

ResultCode ReadEnvironmentPath(const std::wstring& name, std::wstring& out) {
    const char* value = std::getenv(fs::NativePath(name).c_str());
    if (!value) return rc::EnvironmentVariableNotSet;
    out = fs::FromNative(value);
    return rc::Ok;
}

ResultCode SystemTempFolder(std::wstring&) { return rc::PathNotFound; }

std::int64_t CurrentSystemTime() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    constexpr std::int64_t kUnixEpoch = 116'444'736'000'000'000;
    return kUnixEpoch + static_cast<std::int64_t>(now.tv_sec) * 10'000'000 + now.tv_nsec / 100;
}

}  // namespace qor
