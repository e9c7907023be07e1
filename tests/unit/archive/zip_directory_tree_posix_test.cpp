// POSIX-only cases: symbolic links, a folder that vanishes while a pipe is retried.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "archive/zip_directory_tree.h"
#include "fakes/fake_console.h"
#include "zip_test_support.h"

namespace qor {
namespace {

using test::ParsedArchive;
using test::TempDir;

std::function<void()> g_onSleep;
void FakeSleep(std::uint32_t) {
    if (g_onSleep) g_onSleep();
}

class ZipTreePosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_onSleep = nullptr;
        test::stdfs::create_directories(source);
    }
    void TearDown() override { g_onSleep = nullptr; }
    ResultCode Zip() {
        return ZipDirectoryTree(source.wstring(), archive.wstring(), true, console, FakeSleep);
    }
    void MakePipe(const test::stdfs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }

    TempDir dir;
    test::stdfs::path source = dir / "work";
    test::stdfs::path archive = dir / "package.tmp";
    test::FakeConsole console;
};

TEST_F(ZipTreePosixTest, LinksAreNeitherFollowedNorAdded) {
    test::WriteBytes(dir / "outside" / "secret.txt", "outside");
    test::WriteBytes(source / "real.txt", "real");
    test::stdfs::create_directory_symlink(dir / "outside", source / "dirlink");
    test::stdfs::create_symlink(dir / "outside" / "secret.txt", source / "filelink.txt");
    test::stdfs::create_symlink(dir / "nothing", source / "dangling");
    test::stdfs::create_directory_symlink(source, source / "loop");
    ASSERT_EQ(Zip(), rc::Ok);
    ParsedArchive parsed;
    ASSERT_NO_FATAL_FAILURE(test::ParseArchive(archive, parsed));
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name, "real.txt");
    EXPECT_EQ(console.output, L"\tAdding file real.txt...OK\n");
}

TEST_F(ZipTreePosixTest, AFolderThatCannotBeListedStopsTheWalk) {
    test::stdfs::create_directories(source / "first");
    test::stdfs::create_directories(source / "second");
    MakePipe(source / "first" / "busy.log");
    // Both folders are queued before "first" is listed; "second" goes away meanwhile.
    g_onSleep = [&] { test::stdfs::remove_all(source / "second"); };
    EXPECT_EQ(Zip(), rc::FileNotFound);
    const test::Bytes bytes = test::ReadBytes(archive);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "PK\3\4");
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), "PK\5\6", "PK\5\6" + 4), bytes.end())
        << "no end record after a failed walk";
}

}  // namespace
}  // namespace qor
