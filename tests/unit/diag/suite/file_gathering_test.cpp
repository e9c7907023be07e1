// Copying matching files, the product folder candidates, the four file collectors and
// "verdump.txt", against real scratch directories.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/path_join.h"
#include "diag/suite/file_collectors.h"
#include "diag/suite/file_copy.h"
#include "diag/system/file_versions.h"
#include "diag/suite/product_folders.h"
#include "fakes/fake_registry.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "support/test_env.h"
#include "support/version_images.h"
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/native_path_posix.h"
#endif

namespace qor {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Names = std::vector<std::wstring>;

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr wchar_t kUserShell[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kShell[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Sorted names of the files (and, when asked, directories) in `directory`.
Names List(const std::wstring& directory, bool directories = false) {
    fs::DirectoryEnumerator entries;
    Names names;
    const std::uint32_t kinds = fs::kinds::Files | (directories ? fs::kinds::Directories : 0);
    if (entries.Open(directory, L"*", kinds) != rc::Ok) return names;
    fs::DirectoryEntry entry;
    while (entries.Next(entry) == rc::Ok) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring MakeDirs(std::wstring path, const std::wstring& relative) {
    for (std::size_t start = 0, end = 0; start <= relative.size(); start = end + 1) {
        end = std::min(relative.find(L'\\', start), relative.size());
        path = JoinPath(path, relative.substr(start, end - start));
        EXPECT_TRUE(fs::IsDirectory(path) || fs::MakeDirectory(path) == rc::Ok);
    }
    return path;
}

std::wstring Touch(const std::wstring& directory, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) WriteBytes(JoinPath(directory, name), "x");
    return directory;
}

class FakeGatheringSources final : public GatheringSources {
public:
    ResultCode AllUsersDirectory(std::wstring_view subPath, std::wstring_view,
                                 std::wstring& out) override {
        if (allUsers.empty()) return rc::RegistryKeyNotFound;
        out = JoinPath(allUsers, subPath);
        return rc::Ok;
    }
    RegistryReader& Registry() override { return registry; }
    std::wstring ExpandEnvironment(const std::wstring& text) override { return text; }
    bool IsDirectory(const std::wstring& path) override { return fs::IsDirectory(path); }
    ResultCode TempFolder(std::wstring& out) override { return Give(temp, out); }
    ResultCode WindowsFolder(std::wstring& out) override { return Give(windows, out); }
    bool IsVistaOrLater() override { return vista; }
    ResultCode CommonAppDataFolder(std::wstring& out) override { return Give(commonAppData, out); }

    void AddProfile(const std::wstring& sid, const std::wstring& profile) {
        registry.AddSubKey(RegistryRoot::LocalMachine, kProfileList, sid);
        registry.Set(RegistryRoot::LocalMachine, std::wstring(kProfileList) + L"\\" + sid,
                     L"ProfileImagePath", profile);
    }
    void SetShellFolders(const std::wstring& sid, const wchar_t* key, const std::wstring& local,
                         const std::wstring& roaming) {
        if (!local.empty()) registry.Set(RegistryRoot::Users, sid + key, L"Local AppData", local);
        if (!roaming.empty()) registry.Set(RegistryRoot::Users, sid + key, L"AppData", roaming);
    }

    test::FakeRegistry registry;
    std::wstring allUsers, temp, windows, commonAppData;
    bool vista = true;

private:
    static ResultCode Give(const std::wstring& path, std::wstring& out) {
        if (path.empty()) return rc::PathNotFound;
        out = path;
        return rc::Ok;
    }
};

TEST(CopyMatchingFiles, CopiesMatchingFilesOnlyReplacesOldCopiesAndChecksItsPaths) {
    test::ScratchDirectory scratch;
    const std::wstring source = MakeDirs(scratch.Path(), L"src");
    Touch(source, {L"B.LOG", L"a.log.1", L"notes.txt"});
    WriteBytes(JoinPath(source, L"a.log"), "new");
    MakeDirs(source, L"dir.log");
    const std::wstring target = scratch / L"out";
    ASSERT_EQ(CopyMatchingFiles(source, target, L"*.log"), rc::Ok);
    EXPECT_EQ(List(target, true), (Names{L"B.LOG", L"a.log"}));
    WriteBytes(JoinPath(target, L"a.log"), "old");
    ASSERT_EQ(CopyMatchingFiles(source, target, L"*.log"), rc::Ok);
    EXPECT_EQ(ReadBytes(JoinPath(target, L"a.log")), "new");
    ASSERT_EQ(CopyMatchingFiles(source, target), rc::Ok);  // "*.*" by default
    EXPECT_EQ(List(target, true), (Names{L"B.LOG", L"a.log", L"a.log.1", L"notes.txt"}));

    EXPECT_EQ(CopyMatchingFiles(source, scratch / L"none", L"*.inf"), rc::NoMoreEntries);
    EXPECT_TRUE(fs::IsDirectory(scratch / L"none"));  // made before the listing
    EXPECT_EQ(CopyMatchingFiles(scratch / L"missing", scratch / L"out2"), rc::ArgumentMissing);
    EXPECT_EQ(CopyMatchingFiles(JoinPath(source, L"a.log"), scratch / L"out2"),
              rc::ArgumentMissing);
    EXPECT_EQ(CopyMatchingFiles(L"", scratch / L"out2"), rc::ArgumentMissing);
    EXPECT_EQ(CopyMatchingFiles(source, L""), rc::ArgumentMissing);
    EXPECT_FALSE(fs::IsDirectory(scratch / L"out2"));
    // One level only: a target below a missing folder is not made.
    EXPECT_TRUE(Failed(CopyMatchingFiles(source, scratch / L"no\\out")));
}

class GatheringTest : public ::testing::Test {
protected:
    void SetUp() override {
        sources.temp = MakeDirs(scratch.Path(), L"temp");
        sources.windows = MakeDirs(scratch.Path(), L"windows");
        sources.commonAppData = MakeDirs(scratch.Path(), L"appdata");
        sources.allUsers = MakeDirs(scratch.Path(), L"data");
        work = MakeDirs(scratch.Path(), L"work");
    }

    test::ScratchDirectory scratch;
    FakeGatheringSources sources;
    std::wstring work;
};

TEST_F(GatheringTest, ProductFoldersComeInProfileOrderAndOnlyWhenTheyExist) {
    const std::wstring allLog = MakeDirs(sources.allUsers, L"log");
    const std::wstring alice = MakeDirs(scratch.Path(), L"alice");
    const std::wstring aliceLocal = MakeDirs(alice, L"Local\\Qor2014\\log");
    const std::wstring aliceRoaming = MakeDirs(alice, L"Roaming\\Qor2014\\log");
    const std::wstring bobLocal = MakeDirs(scratch.Path(), L"bob\\Qor2014\\log");
    // Bob: "User Shell Folders" wins; his AppData folder has no log folder.
    sources.AddProfile(L"S-1-5-21-2", scratch / L"bob");
    sources.SetShellFolders(L"S-1-5-21-2", kShell, L"ignored", scratch / L"bobroam");
    sources.SetShellFolders(L"S-1-5-21-2", kUserShell, L"%UserProfile%", L"");
    sources.AddProfile(L"S-1-5-21-1", alice);
    sources.SetShellFolders(L"S-1-5-21-1", kUserShell, L"%USERPROFILE%\\Local",
                            L"%USERPROFILE%\\Roaming");
    sources.AddProfile(L"S-1-5-18", L"");  // hive not loaded

    ProductFolderEnumerator folders(sources);
    ASSERT_EQ(folders.Start(L"log", L"Qor2014", L"2014"), rc::Ok);
    Names found;
    std::wstring folder;
    ResultCode result;
    for (; (result = folders.Current(folder)) == rc::Ok; folders.Advance()) found.push_back(folder);
    EXPECT_EQ(result, rc::EndOfEntries);
    folders.Release();
    EXPECT_EQ(found, (Names{allLog, bobLocal, aliceLocal, aliceRoaming}));

    // Without the suite and the profile list: nothing, and the end code at once.
    FakeGatheringSources bare;
    ProductFolderEnumerator none(bare);
    ASSERT_EQ(none.Start(L"log", L"Qor2014", L"2014"), rc::Ok);
    folder = L"kept";
    EXPECT_EQ(none.Current(folder), rc::EndOfEntries);
    EXPECT_EQ(folder, L"kept");
}

// The suite's and each user's log folders are checked end to end.
TEST_F(GatheringTest, FullSetCopiesEachProductFolderIntoItsOwnSubFolder) {
    const std::wstring allLog = Touch(MakeDirs(sources.allUsers, L"log"), {L"fw.log", L"core.dmp"});
    const std::wstring alice = MakeDirs(scratch.Path(), L"alice");
    const std::wstring ruLogs =
        Touch(MakeDirs(alice, L"RUVAruz\\logs"), {L"setup.log", L"setup.cfg"});
    sources.AddProfile(L"S-1-5-21-1", alice);
    sources.SetShellFolders(L"S-1-5-21-1", kShell, alice, L"");
    Touch(sources.temp, {L"ndisprot.log", L"x_qor9inst_y.txt", L"myqor.log", L"other.log"});

    ASSERT_EQ(CollectLogFiles(sources, work, true), rc::Ok);
    const std::wstring logs = JoinPath(work, L"logs");
    Names expected{MangledFolderName(allLog), MangledFolderName(ruLogs), L"myqor.log",
                   L"ndisprot.log", L"x_qor9inst_y.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(List(logs, true), expected);
    EXPECT_EQ(List(JoinPath(logs, MangledFolderName(allLog))), Names{L"fw.log"});
    EXPECT_EQ(List(JoinPath(logs, MangledFolderName(ruLogs))), Names{L"setup.log"});
    // Folders on different drives stay apart; a plain folder's name is checked end to end.
    EXPECT_NE(MangledFolderName(L"C:\\log"), MangledFolderName(L"D:\\log"));
    EXPECT_EQ(MangledFolderName(L"C:/a\\b"), L"C__a_b");
}

TEST_F(GatheringTest, ReducedSetTakesOnlyTheSystemAndInstallerLogs) {
    Touch(MakeDirs(sources.allUsers, L"log"), {L"fw.log"});
    Touch(sources.temp, {L"ndisprot.log"});
    Touch(MakeDirs(sources.temp, L"RUVAruz\\Logs"), {L"tmp.log"});
    Touch(MakeDirs(sources.commonAppData, L"RUVAruz\\Logs"), {L"shared.log"});
    Touch(sources.windows, {L"setupapi.log"});
    Touch(MakeDirs(sources.windows, L"inf"), {L"setupapi.dev.log", L"setupapi.app.log"});

    ASSERT_EQ(CollectLogFiles(sources, work, false), rc::Ok);
    const std::wstring logs = JoinPath(work, L"logs");
    EXPECT_EQ(List(logs, true), (Names{L"ndisprot.log", L"setupapi.app.log",
                                       L"setupapi.dev.log", L"shared.log", L"tmp.log"}));

    // Before Vista: the setup log of the Windows folder.
    sources.vista = false;
    const std::wstring xpWork = MakeDirs(scratch.Path(), L"xpwork");
    ASSERT_EQ(CollectLogFiles(sources, xpWork, false), rc::Ok);
    EXPECT_EQ(List(JoinPath(xpWork, L"logs"), true),
              (Names{L"ndisprot.log", L"setupapi.log", L"shared.log", L"tmp.log"}));
}

TEST_F(GatheringTest, AMissingPathEndsTheLogsEarlyAfterTheEarlierCopies) {
    Touch(sources.temp, {L"ndisprot.log"});
    sources.commonAppData.clear();
    sources.vista = false;
    EXPECT_EQ(CollectLogFiles(sources, work, false), rc::PathNotFound);
    EXPECT_EQ(List(JoinPath(work, L"logs")), Names{L"ndisprot.log"});

    sources.temp.clear();
    EXPECT_EQ(CollectLogFiles(sources, MakeDirs(scratch.Path(), L"work2"), false),
              rc::PathNotFound);
    EXPECT_TRUE(Failed(CollectLogFiles(sources, scratch / L"missing\\work", false)));
}

// The work directory's folders are the collectors' own, and folders that a user's programs
// may write give no link's files.
TEST_F(GatheringTest, LinksAreNeitherWrittenThroughNorGathered) {
    const std::wstring outside = MakeDirs(scratch.Path(), L"outside");
    Touch(sources.temp, {L"ndisprot.log"});
    ASSERT_TRUE(test::PlantDirectoryLink(JoinPath(work, L"logs"), outside));
    EXPECT_TRUE(Failed(CollectLogFiles(sources, work, false)));
    EXPECT_TRUE(List(outside).empty());
    MakeDirs(work, L"cfgs");
    Touch(MakeDirs(sources.allUsers, L"cfg"), {L"fwlog.cfg"});
    EXPECT_TRUE(Failed(CollectConfigFiles(sources, work)));

    // A link at the last level or one above it, and a second name of a file.
    const std::wstring secret = Touch(MakeDirs(scratch.Path(), L"secret"), {L"admin.log"});
    Touch(MakeDirs(secret, L"Logs"), {L"deep.log"});
    const std::wstring shared = Touch(MakeDirs(sources.commonAppData, L"RUVAruz\\Logs"),
                                      {L"own.log"});
    ASSERT_TRUE(test::PlantHardLink(JoinPath(shared, L"second.log"), JoinPath(secret, L"admin.log")));
    ASSERT_TRUE(test::PlantDirectoryLink(JoinPath(shared, L"folder.log"), secret));
    ASSERT_TRUE(test::PlantDirectoryLink(JoinPath(sources.temp, L"RUVAruz"), secret));
    const std::wstring fresh = MakeDirs(scratch.Path(), L"work2");
    ASSERT_EQ(CollectLogFiles(sources, fresh, false), rc::Ok);
    EXPECT_EQ(List(JoinPath(fresh, L"logs"), true), (Names{L"ndisprot.log", L"own.log"}));
    ASSERT_TRUE(test::PlantDirectoryLink(JoinPath(sources.allUsers, L"cfg2"), secret));
    EXPECT_EQ(CopyMatchingFilesBelow(sources.allUsers, L"cfg2", fresh, L"*.log"), rc::LinkRefused);
    EXPECT_EQ(CopyMatchingFilesBelow(scratch.Path(), L"secret\\Logs", JoinPath(fresh, L"deep"),
                                     L"*.log"),
              rc::Ok);  // no link on the way
    EXPECT_EQ(List(JoinPath(fresh, L"deep")), Names{L"deep.log"});
}

TEST_F(GatheringTest, ConfigAndInfFilesGoToTheirFolders) {
    Touch(MakeDirs(sources.allUsers, L"cfg"), {L"fwlog.cfg", L"readme.txt"});
    Touch(MakeDirs(sources.windows, L"inf"), {L"oem1.inf", L"OEM12.INF", L"oem1.pnf", L"net.inf"});
    ASSERT_EQ(CollectConfigFiles(sources, work), rc::Ok);
    ASSERT_EQ(CollectInfFiles(sources, work), rc::Ok);
    EXPECT_EQ(List(JoinPath(work, L"cfgs")), Names{L"fwlog.cfg"});
    EXPECT_EQ(List(JoinPath(work, L"infs")), (Names{L"OEM12.INF", L"oem1.inf"}));

    sources.allUsers.clear();  // the suite is not installed
    EXPECT_EQ(CollectConfigFiles(sources, work), rc::RegistryKeyNotFound);
    sources.windows.clear();
    EXPECT_EQ(CollectInfFiles(sources, work), rc::PathNotFound);
}

TEST_F(GatheringTest, CatalogLogIsCopiedOnceAndNeverReplaced) {
    const std::wstring target = JoinPath(work, L"catdberr.txt");
    ASSERT_EQ(CollectCatalogLog(sources, work), rc::Ok);  // no dberr.txt
    const std::wstring catroot = MakeDirs(sources.windows, L"System32\\catroot2");
    MakeDirs(catroot, L"dberr.txt");  // a directory of that name is no log
    ASSERT_EQ(CollectCatalogLog(sources, work), rc::Ok);
    EXPECT_TRUE(List(work).empty());

    ASSERT_EQ(fs::RemoveTree(JoinPath(catroot, L"dberr.txt")), rc::Ok);
    WriteBytes(JoinPath(catroot, L"dberr.txt"), "first");
    ASSERT_EQ(CollectCatalogLog(sources, work), rc::Ok);
    EXPECT_EQ(ReadBytes(target), "first");

    WriteBytes(JoinPath(catroot, L"dberr.txt"), "second");
    EXPECT_EQ(CollectCatalogLog(sources, work), ResultFromWin32(80));  // the file exists
    EXPECT_EQ(ReadBytes(target), "first");
}

// Version 14.0.1234.5 with a string table; 2.0.0.1 without one.
const std::string kImage = test::VersionImage("standard.dll");
const std::string kNoStrings = test::VersionImage("no_strings.dll");

class FileVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeDirs(scratch_.Path(), L"Qor");
        MakeDirs(scratch_.Path(), L"System32\\drivers");
    }
    std::wstring Heading(const std::wstring& directory) const {
        return L"File versions in " + directory + L" directory:\n\n";
    }

    test::ScratchDirectory scratch_;
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

// An entry of the installation directory that cannot be taken ends the dump at once: no more
// lines, no system listings.
TEST_F(FileVersionsTest, AnInstallationEntryThatCannotBeTakenEndsTheDump) {
#ifdef _WIN32
    GTEST_SKIP() << "an entry whose full path is too long is made on host";
#else
    std::wstring deep = install_;
    while (deep.size() + 101 < 4050) {
        deep += L"\\" + std::wstring(100, L'd');
        ASSERT_EQ(fs::MakeDirectory(deep), rc::Ok);
    }
    // Its name fits, its full path does not.
    const int folder = open(fs::NativePath(deep).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    const std::string tooLong = std::string(250, 'x') + ".exe";
    const int file = openat(folder, tooLong.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(file, 0);
    close(file);
    test::WriteBytes(drivers_ + L"\\qortdi.sys", kImage);
    std::wstring text;
    EXPECT_TRUE(Failed(DumpFileVersionsIn(text, deep, system_)));
    EXPECT_EQ(text, Heading(deep));
    EXPECT_EQ(unlinkat(folder, tooLong.c_str(), 0), 0);
    close(folder);
#endif
}

// A missing driver folder gives no heading. A folder with one of the two masks empty is
// checked end to end.
TEST_F(FileVersionsTest, MissingFoldersAndUnreadableVersions) {
    std::wstring text;
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
