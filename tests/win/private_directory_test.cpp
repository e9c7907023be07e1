// The work directory's protection: its descriptor and the handle that holds it.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/win/private_directory_win.h"
#include "support/test_env.h"

namespace qor {
namespace {

struct Ace {
    std::wstring sid;
    ACCESS_MASK mask;
    BYTE flags;
};

std::vector<Ace> Entries(PACL acl) {
    std::vector<Ace> entries;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(acl, i, &raw)) break;
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        wchar_t* text = nullptr;
        ConvertSidToStringSidW(reinterpret_cast<PSID>(&ace->SidStart), &text);
        entries.push_back({text ? text : L"?", ace->Mask, ace->Header.AceFlags});
        LocalFree(text);
    }
    return entries;
}

TEST(PrivateDirectory, FullControlForSystemAndAdministratorsReadForTheUserNothingInherited) {
    std::wstring sddl;
    ASSERT_EQ(fs::PrivateDirectorySecurity(sddl), 0);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    const std::vector<Ace> entries = Entries(acl);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].sid, L"S-1-5-18");
    EXPECT_EQ(entries[1].sid, L"S-1-5-32-544");
    EXPECT_EQ(entries[0].mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    EXPECT_EQ(entries[1].mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    EXPECT_EQ(entries[2].mask, static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE));
    for (const Ace& ace : entries) {
        EXPECT_EQ(ace.flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << ace.sid;
    }
    LocalFree(descriptor);

    // Read back from the directory made with it: nothing inherited from the parent. (Wine
    // keeps no descriptor for a directory; it derives the list from the Unix mode.)
    test::ScratchDirectory dir;
    const std::wstring work = dir / L"work";
    fs::File held;
    ASSERT_EQ(fs::MakePrivateDirectory(work, held), 0);
    PSECURITY_DESCRIPTOR read = nullptr;
    PACL readAcl = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(work.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &readAcl, nullptr, &read),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::vector<Ace> back = Entries(readAcl);
    EXPECT_FALSE(back.empty());
    for (const Ace& ace : back) EXPECT_FALSE(ace.flags & INHERITED_ACE) << ace.sid;
    LocalFree(read);

    // Held: neither removed nor renamed until the holder lets go.
    EXPECT_FALSE(RemoveDirectoryW(work.c_str()));
    EXPECT_FALSE(MoveFileW(work.c_str(), (dir / L"moved").c_str()));
    EXPECT_TRUE(fs::IsDirectory(work));
    ASSERT_EQ(fs::RemoveTree(work, held), 0);
    EXPECT_FALSE(fs::IsDirectory(work));
}

// A link put where the directory was to be made is refused, whatever the creation did.
TEST(PrivateDirectory, AnExistingEntryOrLinkIsNeverTaken) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"outside"), 0);
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"work", dir / L"outside"));
    fs::File held;
    EXPECT_TRUE(Failed(fs::MakePrivateDirectory(dir / L"work", held)));
    EXPECT_FALSE(held.IsOpen());
}

}  // namespace
}  // namespace qor
