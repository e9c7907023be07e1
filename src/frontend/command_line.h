#pragma once
#include <string>
#include <vector>

namespace qor {

enum class CommandKind { Menu, Help, RepairInfCache, RunToFile };

struct Command {
    CommandKind kind = CommandKind::Menu;
    std::wstring fileName;  // RunToFile only
};

// `args` excludes the program name. The first character of an argument is the switch
// character and is not examined; keywords match exactly and case-sensitively.
Command ParseCommandLine(const std::vector<std::wstring>& args);

}  // namespace qor
