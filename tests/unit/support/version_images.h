#pragma once
// The small images made from the resource scripts of tests/win/version_images (kept as the
// version reader's fuzzing seeds).
#include <string>

#include "support/test_env.h"

namespace qor::test {

inline std::string VersionImage(const char* name) {
    return ReadBytes(std::wstring(QOR_VERSION_IMAGES) + L"/" +
                     std::wstring(name, name + std::char_traits<char>::length(name)));
}

}  // namespace qor::test
