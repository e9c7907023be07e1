#include <gtest/gtest.h>

#include <algorithm>

#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "support/test_env.h"
#ifndef _WIN32
#include <unistd.h>

#include "platform/posix/native_path_posix.h"
#endif

namespace qor {
namespace {

// A missing parent, a file that is no directory and a copy over an older one are checked
// through CopyMatchingFiles (diag/file_gathering_test).
TEST(FileSystem, ExistingDirectoriesFilesAndMissingSources) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"a"), 0);
    EXPECT_TRUE(Failed(fs::MakeDirectory(dir / L"a")));  // exists
    test::WriteBytes(dir / L"f", "new");
    EXPECT_TRUE(Failed(fs::RemoveTree(dir / L"f")));     // not a directory: left alone
    test::WriteBytes(dir / L"moved", "stale");
    ASSERT_EQ(fs::MoveFileOver(dir / L"f", dir / L"moved"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"moved"), "new");
    EXPECT_EQ(test::ReadBytes(dir / L"f"), "<missing>");
    EXPECT_EQ(fs::CopyFileOver(dir / L"none", dir / L"x"), rc::FileNotFound);
}

// Links inside a removed tree are removed themselves, never what they point to.
TEST(FileSystem, RemoveTreeTakesEverythingInsideButNotTheTargetsOfLinks) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"t"), 0);
    ASSERT_EQ(fs::MakeDirectory(dir / L"t\\sub"), 0);
    ASSERT_EQ(fs::MakeDirectory(dir / L"t\\sub\\deeper"), 0);
    test::WriteBytes(dir / L"t\\a.txt", "a");
    test::WriteBytes(dir / L"t\\sub\\deeper\\b.txt", "b");
    ASSERT_EQ(fs::MakeDirectory(dir / L"outside"), 0);
    test::WriteBytes(dir / L"outside\\keep.txt", "keep");
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"t\\sub\\dirlink", dir / L"outside"));
#ifndef _WIN32
    ASSERT_EQ(symlink(fs::NativePath(dir / L"outside\\keep.txt").c_str(),
                      fs::NativePath(dir / L"t\\filelink").c_str()), 0);
#endif
    const ResultCode removed = fs::RemoveTree(dir / L"t");
#ifdef _WIN32
    // Wine removes no Unix link to a directory (RemoveDirectoryW and DeleteFileW both fail),
    // so the link and the folders above it stay; everything else goes.
    EXPECT_TRUE(Failed(removed));
    EXPECT_EQ(test::ReadBytes(dir / L"t\\a.txt"), "<missing>");
    EXPECT_FALSE(fs::IsDirectory(dir / L"t\\sub\\deeper"));
#else
    ASSERT_EQ(removed, 0);
    EXPECT_FALSE(fs::IsDirectory(dir / L"t"));
#endif
    EXPECT_EQ(test::ReadBytes(dir / L"outside\\keep.txt"), "keep");
    EXPECT_TRUE(Failed(fs::RemoveTree(L"")));
}

// A directory that is a link is not listed through; a file read from a place others can
// write must be a plain file with one name.
TEST(FileSystem, NoFollowOpensRefuseLinks) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"outside"), 0);
    test::WriteBytes(dir / L"outside\\keep.txt", "keep");
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"link", dir / L"outside"));
    fs::DirectoryEnumerator listing;
    EXPECT_EQ(listing.Open(dir / L"link", L"*", fs::kinds::Files | fs::kinds::NotThroughLink),
              rc::LinkRefused);
    ASSERT_EQ(listing.Open(dir / L"outside", L"*", fs::kinds::Files | fs::kinds::NotThroughLink),
              0);
    fs::DirectoryEntry entry;
    ASSERT_EQ(listing.Next(entry), 0);
    EXPECT_EQ(entry.name, L"keep.txt");

    fs::File file;
    EXPECT_EQ(fs::OpenUnlinkedForReading(dir / L"outside", file), rc::LinkRefused);
    ASSERT_EQ(fs::OpenUnlinkedForReading(dir / L"outside\\keep.txt", file), 0);
    file.Close();
    ASSERT_TRUE(test::PlantHardLink(dir / L"second.txt", dir / L"outside\\keep.txt"));
    EXPECT_EQ(fs::OpenUnlinkedForReading(dir / L"second.txt", file), rc::LinkRefused);
    EXPECT_FALSE(file.IsOpen());
}

// Files made and removed by name in a held folder: a link at the name, or as the folder
// itself, is never followed, and what it points to stays as it was.
TEST(FileSystem, AHeldFolderMakesAndRemovesByNameWithoutFollowing) {
    test::ScratchDirectory dir;
    ASSERT_EQ(fs::MakeDirectory(dir / L"outside"), 0);
    test::WriteBytes(dir / L"outside\\keep.txt", "keep");
    ASSERT_EQ(fs::MakeDirectory(dir / L"folder"), 0);
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"link", dir / L"outside"));
    fs::File held;
    EXPECT_EQ(fs::OpenFolderNoFollow(dir / L"link", held), rc::LinkRefused);
    ASSERT_EQ(fs::OpenFolderNoFollow(dir / L"folder\\", held), 0);
    // Wine shows a Unix link to a file as that file: links to folders stand for both here.
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"folder\\keep.txt", dir / L"outside"));
    ASSERT_TRUE(test::PlantDirectoryLink(dir / L"folder\\sub", dir / L"outside"));
    test::WriteBytes(dir / L"pkg", "package");
    EXPECT_EQ(fs::CopyFileNewIn(dir / L"pkg", held, L"keep.txt"), rc::AlreadyExists);
    EXPECT_EQ(fs::RemoveFileIn(held, L"keep.txt"), rc::LinkRefused);
    EXPECT_EQ(fs::RemoveFileIn(held, L"sub"), rc::LinkRefused);
    EXPECT_EQ(fs::RemoveFileIn(held, L"none"), rc::FileNotFound);
    EXPECT_EQ(test::ReadBytes(dir / L"outside\\keep.txt"), "keep");
    ASSERT_EQ(fs::CopyFileNewIn(dir / L"pkg", held, L"new.zip"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"folder\\new.zip"), "package");
    ASSERT_EQ(fs::RemoveFileIn(held, L"new.zip"), 0);
    EXPECT_EQ(test::ReadBytes(dir / L"folder\\new.zip"), "<missing>");
}

fs::ContentWriter Writing(std::string bytes, ResultCode then = rc::Ok) {
    return [bytes = std::move(bytes), then](fs::File& file) {
        std::uint32_t written = 0;
        const ResultCode code =
            file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written);
        return Failed(code) ? code : then;
    };
}

TEST(ReplaceContents, NewBytesOrTheOldOnesNeverAMixture) {
    constexpr ResultCode kDiskFull = SuiteError(0x97);
    test::ScratchDirectory dir;
    test::WriteBytes(dir / L"a.cfg", "old content, longer than the new");
    ASSERT_EQ(fs::ReplaceContents(dir / L"a.cfg", Writing("new")), rc::Ok);
    EXPECT_EQ(test::ReadBytes(dir / L"a.cfg"), "new");

    // A write that fails midway.
    EXPECT_EQ(fs::ReplaceContents(dir / L"a.cfg", Writing("half of the ne", kDiskFull)), kDiskFull);
    EXPECT_EQ(test::ReadBytes(dir / L"a.cfg"), "new");

    ASSERT_EQ(fs::ReplaceContents(dir / L"b.cfg", Writing("made")), rc::Ok);
    EXPECT_EQ(test::ReadBytes(dir / L"b.cfg"), "made");

    // A folder in the way, and a folder that is not there.
    ASSERT_EQ(fs::MakeDirectory(dir / L"c.cfg"), rc::Ok);
    EXPECT_TRUE(Failed(fs::ReplaceContents(dir / L"c.cfg", Writing("x"))));
    EXPECT_TRUE(fs::IsDirectory(dir / L"c.cfg"));
    EXPECT_TRUE(Failed(fs::ReplaceContents(dir / L"none\\d.cfg", Writing("x"))));

    // No temporary file is left behind.
    fs::DirectoryEnumerator entries;
    ASSERT_EQ(entries.Open(dir.Path(), L"*", fs::kinds::Files | fs::kinds::Directories), rc::Ok);
    std::vector<std::wstring> names;
    for (fs::DirectoryEntry entry; entries.Next(entry) == rc::Ok;) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.cfg", L"b.cfg", L"c.cfg"}));
}

}  // namespace
}  // namespace qor
