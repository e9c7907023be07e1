#pragma once
// The security of the directories the program keeps to itself.
#include <string>

#include "common/result.h"

namespace qor::fs {

// The descriptor in SDDL: a protected access list of full control for SYSTEM and the
// administrators and read and execute for the process's user, inherited by everything inside.
[[nodiscard]] ResultCode PrivateDirectorySecurity(std::wstring& sddl);

}  // namespace qor::fs
