// Links inside a removed tree are removed themselves, never what they point to.
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/posix/native_path_posix.h"
#include "support/test_env.h"

namespace qor {
namespace {

TEST(FileSystemPosix, RemoveTreeDeletesLinksNotTheirTargets) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"outside"), 0);
    test::WriteBytes(dir / L"outside\\keep.txt", "keep");
    ASSERT_EQ(fs::MakeDirectory(dir / L"work"), 0);
    ASSERT_EQ(symlink(fs::NativePath(dir / L"outside").c_str(),
                      fs::NativePath(dir / L"work\\dirlink").c_str()), 0);
    ASSERT_EQ(symlink(fs::NativePath(dir / L"outside\\keep.txt").c_str(),
                      fs::NativePath(dir / L"work\\filelink").c_str()), 0);
    ASSERT_EQ(fs::RemoveTree(dir / L"work"), 0);
    EXPECT_FALSE(fs::IsDirectory(dir / L"work"));
    EXPECT_EQ(test::ReadBytes(dir / L"outside\\keep.txt"), "keep");
}

}  // namespace
}  // namespace qor
