#include <gtest/gtest.h>

#include <algorithm>

#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace qor {
namespace {

std::vector<std::wstring> Names(const std::wstring& directory) {
    fs::DirectoryEnumerator entries;
    std::vector<std::wstring> names;
    if (entries.Open(directory, L"*", fs::kinds::Files | fs::kinds::Directories) != rc::Ok) return names;
    fs::DirectoryEntry entry;
    while (entries.Next(entry) == rc::Ok) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
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

    EXPECT_EQ(Names(dir.Path()), (std::vector<std::wstring>{L"a.cfg", L"b.cfg", L"c.cfg"}));
}

}  // namespace
}  // namespace qor
