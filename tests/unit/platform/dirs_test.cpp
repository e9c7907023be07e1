#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/test_env.h"

namespace qor {
namespace {

TEST(FileSystem, DirectoriesOneLevelAtATime) {
    test::ScratchDirectory dir;
    EXPECT_TRUE(Failed(fs::MakeDirectory(dir / L"a\\b")));  // missing parent
    ASSERT_EQ(fs::MakeDirectory(dir / L"a"), 0);
    EXPECT_TRUE(Failed(fs::MakeDirectory(dir / L"a")));     // exists
    EXPECT_TRUE(fs::IsDirectory(dir / L"a"));
    test::WriteBytes(dir / L"f", "x");
    EXPECT_FALSE(fs::IsDirectory(dir / L"f"));
    EXPECT_TRUE(Failed(fs::RemoveTree(dir / L"f")));        // not a directory: left alone
    EXPECT_EQ(test::ReadBytes(dir / L"f"), "x");
}

TEST(FileSystem, CopyAndMoveReplaceTheDestination) {
    test::ScratchDirectory dir;
    test::WriteBytes(dir / L"new", "new");
    test::WriteBytes(dir / L"old", "old and longer");
    ASSERT_EQ(fs::CopyFileOver(dir / L"new", dir / L"old"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"old"), "new");
    EXPECT_EQ(test::ReadBytes(dir / L"new"), "new");
    test::WriteBytes(dir / L"moved", "stale");
    ASSERT_EQ(fs::MoveFileOver(dir / L"new", dir / L"moved"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"moved"), "new");
    EXPECT_EQ(test::ReadBytes(dir / L"new"), "<missing>");
    EXPECT_EQ(fs::CopyFileOver(dir / L"none", dir / L"x"), rc::FileNotFound);
}

TEST(FileSystem, RemoveTreeTakesEverythingInside) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"t"), 0);
    ASSERT_EQ(fs::MakeDirectory(dir / L"t\\sub"), 0);
    ASSERT_EQ(fs::MakeDirectory(dir / L"t\\sub\\deeper"), 0);
    test::WriteBytes(dir / L"t\\a.txt", "a");
    test::WriteBytes(dir / L"t\\sub\\deeper\\b.txt", "b");
    ASSERT_EQ(fs::RemoveTree(dir / L"t"), 0);
    EXPECT_FALSE(fs::IsDirectory(dir / L"t"));
    EXPECT_TRUE(Failed(fs::RemoveTree(L"")));
}

}  // namespace
}  // namespace qor
