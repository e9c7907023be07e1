#include "archive/zip_directory_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_env.h"
#include "zip_parallel_support.h"

namespace qor {
namespace {

using test::ParsedArchive;
using test::TempDir;

std::size_t Depth(const std::string& name) {
    const std::string trimmed = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
    return static_cast<std::size_t>(std::count(trimmed.begin(), trimmed.end(), '/'));
}

// The console text the walk gives for the entries in archive order.
std::wstring ExpectedOutput(const ParsedArchive& parsed) {
    std::wstring out;
    for (const auto& entry : parsed.entries) {
        std::wstring name(entry.name.begin(), entry.name.end());
        if (name.back() == L'/') {
            name.pop_back();
            out += L"\tAdding directory " + name.substr(name.rfind(L'/') + 1) + L"...\n";
        } else {
            std::replace(name.begin(), name.end(), L'/', L'\\');
            out += L"\tAdding file " + name + L"...OK\n";
        }
    }
    return out;
}

using ZipDirectoryTreeTest = test::ZipTreeTest;

TEST_F(ZipDirectoryTreeTest, RefusesAMissingOrUnusableSource) {
    test::WriteBytes(dir / "file.txt", "x");
    EXPECT_EQ(ZipDirectoryTree(L"", archive.wstring(), true, console, test::PackSleep),
              rc::ArgumentMissing);
    EXPECT_EQ(Zip(), rc::PathNotFound);
    source = dir / "file.txt";
    EXPECT_EQ(Zip(), rc::PathNotFound);
    EXPECT_FALSE(test::stdfs::exists(archive));
    source = dir.Path();
    archive = dir / "no-such-dir" / "package.tmp";
    EXPECT_EQ(Zip(), SuiteError(0x3F));
    EXPECT_EQ(console.output, L"");
}

TEST_F(ZipDirectoryTreeTest, EmptyDirectoryGivesAnEmptyArchive) {
    test::stdfs::create_directories(source);
    ASSERT_EQ(Zip(), rc::Ok);
    EXPECT_EQ(test::stdfs::file_size(archive), 22u);
    EXPECT_EQ(console.output, L"");
}

TEST_F(ZipDirectoryTreeTest, BreadthFirstWithFoldersBeforeTheirContents) {
    test::WriteBytes(source / "a.txt", "a");
    test::WriteBytes(source / "b.gz", "b");
    test::WriteBytes(source / "logs" / "a.log", "log");
    test::WriteBytes(source / "logs" / "deep" / "x.txt", "x");
    test::stdfs::create_directories(source / "zz" / "empty");
    ASSERT_EQ(Zip(), rc::Ok);
    ParsedArchive parsed;
    ASSERT_NO_FATAL_FAILURE(test::ParseArchive(archive, parsed));

    std::vector<std::string> names;
    for (const auto& entry : parsed.entries) names.push_back(entry.name);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"a.txt", "b.gz", "logs/", "logs/a.log",
                                                "logs/deep/", "logs/deep/x.txt", "zz/",
                                                "zz/empty/"}));
    for (std::size_t i = 1; i < names.size(); ++i) {
        EXPECT_LE(Depth(names[i - 1]), Depth(names[i])) << names[i - 1] << " before " << names[i];
    }
    EXPECT_EQ(parsed.Find("logs/deep/x.txt").Content(), "x");
    EXPECT_EQ(console.output, ExpectedOutput(parsed));
    EXPECT_TRUE(test::g_packSleeps.empty());

    console.output.clear();
    ASSERT_EQ(Zip(false), rc::Ok);
    EXPECT_EQ(console.output, L"");
}

TEST_F(ZipDirectoryTreeTest, TheArchiveIsNotAddedToItself) {
    archive = source / "package.tmp";
    test::WriteBytes(source / "a.txt", "a");
    test::WriteBytes(source / "sub" / "package.tmp", "same name, other folder");
    ASSERT_EQ(Zip(), rc::Ok);
    ParsedArchive parsed;
    ASSERT_NO_FATAL_FAILURE(test::ParseArchive(archive, parsed));
    ASSERT_EQ(parsed.entries.size(), 3u);  // a.txt, sub/, sub/package.tmp
    EXPECT_EQ(parsed.Find("sub/package.tmp").Content(), "same name, other folder");
    EXPECT_EQ(console.output.find(L"Adding file package.tmp"), std::wstring::npos);
}

TEST_F(ZipDirectoryTreeTest, ALinkToAnotherFolderIsNotEntered) {
    test::WriteBytes(source / "a.txt", "a");
    test::WriteBytes(dir / "outside" / "secret.txt", "s");
    ASSERT_TRUE(test::PlantDirectoryLink((source / "dirlink").wstring(),
                                         (dir / "outside").wstring()));
    ASSERT_EQ(Zip(), rc::Ok);
    ParsedArchive parsed;
    ASSERT_NO_FATAL_FAILURE(test::ParseArchive(archive, parsed));
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name, "a.txt");
}

TEST_F(ZipDirectoryTreeTest, AFailedArchiveWriteFailsTheStep) {
    if (!test::stdfs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    archive = "/dev/full";
    test::WriteBytes(source / "a.txt", "a");
    EXPECT_EQ(Zip(), rc::FileNotFound);
    EXPECT_EQ(console.output, L"\tAdding file a.txt...failed.\n");

    console.output.clear();
    test::stdfs::create_directories(source / "logs");
    std::filesystem::remove(source / "a.txt");
    EXPECT_EQ(Zip(), SuiteError(0x43));  // a folder that cannot be added stops the walk
    EXPECT_EQ(console.output, L"\tAdding directory logs...\n");
}

}  // namespace
}  // namespace qor
