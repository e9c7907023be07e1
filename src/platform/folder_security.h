#pragma once
// Who may change a folder, read from its security descriptor: the decision behind trusting a
// folder the program loads from or saves into.
#include <cstdint>
#include <string>
#include <vector>

namespace qor {

struct AccessEntry {
    bool allows = true;  // an access-allowed entry; any other kind counts as a denial
    std::uint32_t flags = 0;  // the entry's inheritance flags
    std::uint32_t mask = 0;
    std::wstring sid;  // "S-1-5-18"
};

struct FolderSecurity {
    std::wstring owner;
    bool hasDacl = false;  // no access list lets everybody in
    std::vector<AccessEntry> entries;
};

namespace sid {
inline constexpr const wchar_t* System = L"S-1-5-18";
inline constexpr const wchar_t* Administrators = L"S-1-5-32-544";
inline constexpr const wchar_t* TrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}  // namespace sid

// True when the owner is SYSTEM, the administrators or TrustedInstaller, and no entry that
// applies to the folder itself lets anybody else write, delete or change its security.
bool OnlyAdministratorsMayChange(const FolderSecurity& security);

}  // namespace qor
