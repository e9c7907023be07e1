#include "platform/folder_security.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

constexpr std::uint32_t kFullControl = 0x1F01FF;
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kModify = 0x1301BF;
constexpr std::uint32_t kInheritOnly = 0x08 | 0x01 | 0x02;
const wchar_t* const kUsers = L"S-1-5-32-545";
const wchar_t* const kCreatorOwner = L"S-1-3-0";

FolderSecurity ProgramFilesLike() {
    FolderSecurity s;
    s.owner = sid::TrustedInstaller;
    s.hasDacl = true;
    s.entries = {{true, 0, kFullControl, sid::TrustedInstaller},
                 {true, 0, kModify, sid::System},
                 {true, 0x03, kFullControl, sid::Administrators},
                 {true, 0x03, kReadExecute, kUsers},
                 {true, kInheritOnly, 0x10000000, kCreatorOwner}};
    return s;
}

TEST(FolderSecurity, OnlyTheAdministrativeAccountsMayChangeATrustedFolder) {
    EXPECT_TRUE(OnlyAdministratorsMayChange(ProgramFilesLike()));

    FolderSecurity vendor = ProgramFilesLike();  // a vendor folder its installer opened to users
    vendor.entries.push_back({true, 0x03, kModify, kUsers});
    EXPECT_FALSE(OnlyAdministratorsMayChange(vendor));
    FolderSecurity addFiles = ProgramFilesLike();  // adding files is enough to plant a library
    addFiles.entries.push_back({true, 0, 0x2, L"S-1-5-11"});
    EXPECT_FALSE(OnlyAdministratorsMayChange(addFiles));
    FolderSecurity ownedByUser = ProgramFilesLike();  // an owner can always change the list
    ownedByUser.owner = L"S-1-5-21-1-2-3-1001";
    EXPECT_FALSE(OnlyAdministratorsMayChange(ownedByUser));
    FolderSecurity noList = ProgramFilesLike();  // no list: everybody may do everything
    noList.hasDacl = false;
    EXPECT_FALSE(OnlyAdministratorsMayChange(noList));
    FolderSecurity unknownKind = ProgramFilesLike();
    unknownKind.entries.push_back({true, 0, ~0u, L""});
    EXPECT_FALSE(OnlyAdministratorsMayChange(unknownKind));

    FolderSecurity denied = ProgramFilesLike();  // a denial or a right to read changes nothing
    denied.entries.push_back({false, 0, kFullControl, kUsers});
    denied.entries.push_back({true, 0, kReadExecute, L"S-1-1-0"});
    denied.owner = sid::Administrators;
    EXPECT_TRUE(OnlyAdministratorsMayChange(denied));
}

}  // namespace
}  // namespace qor
