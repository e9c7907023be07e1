#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/native_path_posix.h"
#include "support/test_env.h"

namespace qor::test {

namespace {
// The tests' names and paths are ASCII; the text is kept as it is, backslashes included.
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

void SetEnvironment(const std::wstring& name, const std::wstring& value) {
    setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1);
}

void UnsetEnvironment(const std::wstring& name) { unsetenv(Narrow(name).c_str()); }

std::wstring SystemTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return fs::FromNative(tmp && *tmp ? tmp : "/tmp");
}

bool PlantDirectoryLink(const std::wstring& link, const std::wstring& target) {
    return symlink(fs::NativePath(target).c_str(), fs::NativePath(link).c_str()) == 0;
}

bool PlantHardLink(const std::wstring& link, const std::wstring& existing) {
    return ::link(fs::NativePath(existing).c_str(), fs::NativePath(link).c_str()) == 0;
}

}  // namespace qor::test
