// "verdump.txt" over scratch directories holding small images.
#include <gtest/gtest.h>

#include <string>

#include "diag/file_versions.h"
#include "platform/fs.h"
#include "support/test_env.h"
#include "support/version_images.h"

namespace qor {
namespace {

using test::ScratchDirectory;

// Version 14.0.1234.5 with a string table; 2.0.0.1 without one.
const std::string kImage = test::VersionImage("standard.dll");
const std::string kNoStrings = test::VersionImage("no_strings.dll");

class FileVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(fs::MakeDirectory(install_), rc::Ok);
        ASSERT_EQ(fs::MakeDirectory(system_), rc::Ok);
        ASSERT_EQ(fs::MakeDirectory(drivers_), rc::Ok);
    }
    std::wstring Heading(const std::wstring& directory) const {
        return L"File versions in " + directory + L" directory:\n\n";
    }

    ScratchDirectory scratch_;
    const std::wstring install_ = scratch_ / L"Qor";
    const std::wstring system_ = scratch_ / L"System32";
    const std::wstring drivers_ = system_ + L"\\drivers";
};

TEST_F(FileVersionsTest, ListsEachImageOfTheFourListingsInOrder) {
    test::WriteBytes(install_ + L"\\qorfw.exe", kImage);
    test::WriteBytes(install_ + L"\\qorlog.dll", kImage);
    test::WriteBytes(install_ + L"\\readme.txt", kImage);          // mask not matched
    test::WriteBytes(install_ + L"\\bare.dll", kNoStrings);        // no string table
    test::WriteBytes(drivers_ + L"\\qortdi.sys", kImage);
    test::WriteBytes(drivers_ + L"\\qorinfo.txt", "plain text");   // no image
    test::WriteBytes(drivers_ + L"\\other.sys", kImage);           // mask not matched
    ASSERT_EQ(fs::MakeDirectory(drivers_ + L"\\qordir.sys"), rc::Ok);  // not a file
    ASSERT_EQ(fs::MakeDirectory(drivers_ + L"\\Qor"), rc::Ok);
    test::WriteBytes(drivers_ + L"\\Qor\\a.sys", kImage);
    test::WriteBytes(drivers_ + L"\\Qor\\b.sys", kImage);        // same version, own line

    std::wstring text;
    ASSERT_EQ(DumpFileVersionsIn(text, install_, system_), rc::Ok);
    const std::wstring line = L" 14.0.1234.5\n";
    const std::wstring start = Heading(install_) + L"qorfw.exe" + line + L"qorlog.dll" + line +
                               L"\n" + Heading(system_ + L"\\drivers\\") + L"qortdi.sys" + line +
                               L"\n" + Heading(system_) + L"\n" +
                               Heading(system_ + L"\\drivers\\Qor\\");
    ASSERT_EQ(text.substr(0, start.size()), start);
    const std::wstring rest = text.substr(start.size());
    EXPECT_TRUE(rest == L"a.sys" + line + L"b.sys" + line ||
                rest == L"b.sys" + line + L"a.sys" + line);
}

// Programs without libraries leave an empty "*.dll" pass; a missing driver folder no heading.
TEST_F(FileVersionsTest, EmptyMaskMissingFoldersAndUnreadableVersions) {
    test::WriteBytes(install_ + L"\\qorfw.exe", kImage);
    std::wstring text;
    ASSERT_EQ(DumpFileVersionsIn(text, install_, system_), rc::Ok);
    EXPECT_EQ(text, Heading(install_) + L"qorfw.exe 14.0.1234.5\n" + L"\n" +
                        Heading(system_ + L"\\drivers\\") + L"\n" + Heading(system_));

    text.clear();
    ASSERT_EQ(DumpFileVersionsIn(text, scratch_ / L"missing", scratch_ / L"nosystem"), rc::Ok);
    EXPECT_EQ(text, Heading(scratch_ / L"missing"));

    // A line needs a readable version.
    text = L"kept\n";
    EXPECT_EQ(AppendFileVersionLine(text, install_ + L"\\absent.dll"), rc::FileNotFound);
    test::WriteBytes(install_ + L"\\bare.dll", kNoStrings);
    EXPECT_EQ(AppendFileVersionLine(text, install_ + L"\\bare.dll"), rc::NotFound);
    test::WriteBytes(install_ + L"\\x.dll", kImage);
    EXPECT_EQ(AppendFileVersionLine(text, install_ + L"\\x.dll"), rc::Ok);
    EXPECT_EQ(text, L"kept\nx.dll 14.0.1234.5\n");
}

}  // namespace
}  // namespace qor
