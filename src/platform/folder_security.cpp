#include "platform/folder_security.h"

#include <algorithm>

namespace qor {
namespace {

constexpr std::uint32_t kInheritOnly = 0x08;
// Write data or add files, append or add folders, write extended attributes, delete a child,
// write attributes, delete, change the access list or the owner, generic all and write.
constexpr std::uint32_t kChangeRights = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 |
                                        0x80000 | 0x10000000 | 0x40000000 | 0x02000000;

bool IsAdministrative(const std::wstring& who) {
    return who == sid::System || who == sid::Administrators || who == sid::TrustedInstaller;
}

bool LetsOthersChange(const AccessEntry& entry) {
    return entry.allows && !(entry.flags & kInheritOnly) && (entry.mask & kChangeRights) &&
           !IsAdministrative(entry.sid);
}

}  // namespace

bool OnlyAdministratorsMayChange(const FolderSecurity& security) {
    if (!IsAdministrative(security.owner) || !security.hasDacl) return false;
    return std::none_of(security.entries.begin(), security.entries.end(), LetsOthersChange);
}

}  // namespace qor
