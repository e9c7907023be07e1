#include "frontend/command_line.h"

#include <string_view>

namespace qor {
namespace {

// The argument without its switch character; empty for an empty argument.
std::wstring_view Keyword(const std::wstring& arg) {
    return arg.empty() ? std::wstring_view{} : std::wstring_view(arg).substr(1);
}

Command ParseOne(const std::wstring& arg) {
    if (arg.empty()) return {};
    const std::wstring_view keyword = Keyword(arg);
    if (keyword == L"h" || keyword == L"help" || keyword == L"?") return {CommandKind::Help, {}};
    if (keyword == L"repairinfcache") return {CommandKind::RepairInfCache, {}};
    return {};
}

}  // namespace

Command ParseCommandLine(const std::vector<std::wstring>& args) {
    if (args.size() == 1) return ParseOne(args[0]);
    if (args.size() == 2 && !args[0].empty() && !args[1].empty() && Keyword(args[0]) == L"run") {
        return {CommandKind::RunToFile, args[1]};
    }
    return {};
}

}  // namespace qor
