// The file system adapters and the archiving step against Wine's sharing and reparse points.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "archive/zip_directory_tree.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "unit/archive/zip_parallel_support.h"
#include "unit/archive/zip_test_support.h"
#include "unit/fakes/fake_console.h"

namespace qor {
namespace {

using test::ParsedArchive;
using test::TempDir;

constexpr ResultCode kSharingViolation = SuiteError(0x53);

// Held open for writing without read sharing, as a logging process holds its log.
HANDLE HoldLocked(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

TEST(FileWin, SharingOfTheOpens) {
    TempDir dir;
    const std::wstring path = (dir / "a.bin").wstring();
    fs::File writer;
    ASSERT_EQ(fs::CreateExclusive(path, writer), rc::Ok);
    std::uint32_t written = 0;
    ASSERT_EQ(writer.Write("hello world", 11, written), rc::Ok);
    EXPECT_EQ(written, 11u);
    ASSERT_EQ(writer.SeekFromStart(6), rc::Ok);
    ASSERT_EQ(writer.Write("WORLD", 5, written), rc::Ok);

    fs::File reader;
    EXPECT_EQ(fs::OpenForReading(path, reader), kSharingViolation);  // held unshared
    EXPECT_FALSE(reader.IsOpen());
    writer.Close();

    ASSERT_EQ(fs::OpenForReading(path, reader), rc::Ok);
    fs::File second;
    EXPECT_EQ(fs::OpenForReading(path, second), rc::Ok);  // readers share
    fs::File other;
    EXPECT_EQ(fs::OpenOrCreate(path, other), kSharingViolation);
    char buffer[32] = {};
    std::uint32_t read = 99;
    ASSERT_EQ(reader.Read(buffer, sizeof buffer, read), rc::Ok);
    EXPECT_EQ(std::string(buffer, read), "hello WORLD");
    fs::FileInfo info;
    ASSERT_EQ(reader.Info(info), rc::Ok);
    EXPECT_EQ(info.size, 11u);
    EXPECT_EQ(info.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_GT(info.lastWriteTime, 116444736000000000);
    EXPECT_EQ(writer.Write("x", 1, written), SuiteError(0x3F));  // closed: invalid handle

    std::uint32_t attributes = 0;
    EXPECT_EQ(fs::QueryAttributes((dir / "none").wstring(), attributes), rc::FileNotFound);
    EXPECT_EQ(fs::QueryAttributes((dir / "none" / "x").wstring(), attributes), rc::PathNotFound);
    EXPECT_EQ(attributes, 0u);
    ASSERT_EQ(fs::QueryAttributes(dir.Path().wstring(), attributes), rc::Ok);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(fs::OpenForReading(dir.Path().wstring(), reader), SuiteError(0x58));
}

TEST(DirectoryEnumeratorWin, KindsAndMask) {
    TempDir dir;
    test::WriteBytes(dir / "a.TXT", "a");
    test::WriteBytes(dir / "b.log", "b");
    test::WriteBytes(dir / "sub" / "c.txt", "c");
    const auto list = [&](const std::wstring& mask, std::uint32_t kinds) {
        fs::DirectoryEnumerator listing;
        std::vector<std::wstring> names;
        EXPECT_EQ(listing.Open(dir.Path().wstring(), mask, kinds), rc::Ok);
        fs::DirectoryEntry entry;
        ResultCode result;
        while ((result = listing.Next(entry)) == rc::Ok) {
            EXPECT_EQ(entry.fullPath, dir.Path().wstring() + L"\\" + entry.name);
            names.push_back(entry.name);
        }
        EXPECT_EQ(result, rc::EndOfEntries);
        std::sort(names.begin(), names.end());
        return names;
    };
    using Names = std::vector<std::wstring>;
    using namespace fs::kinds;
    EXPECT_EQ(list(L"*", Files | Directories), (Names{L"a.TXT", L"b.log", L"sub"}));
    EXPECT_EQ(list(L"*", Files), (Names{L"a.TXT", L"b.log"}));
    EXPECT_EQ(list(L"*", Directories | Dot | DotDot), (Names{L".", L"..", L"sub"}));
    EXPECT_EQ(list(L"*.txt", Files), (Names{L"a.TXT"}));
    EXPECT_EQ(list(L"*.none", Files), Names{});

    fs::DirectoryEnumerator missing;
    EXPECT_EQ(missing.Open((dir / "gone").wstring(), L"*", Files), rc::PathNotFound);
}

// The real 2000 ms wait.
class ZipTreeWin : public test::ZipTreeTest {
protected:
    void SetUp() override {
        ZipTreeTest::SetUp();
        sleep = SleepMilliseconds;
    }
};

// The real 2000 ms wait: released within it.
TEST_F(ZipTreeWin, AFileReleasedWithinTheWaitIsAdded) {
    test::WriteBytes(source / "busy.log", "released");
    const HANDLE held = HoldLocked((source / "busy.log").wstring());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread releaser([held] {
        Sleep(500);
        CloseHandle(held);
    });
    const ResultCode result = Zip();
    releaser.join();
    ASSERT_EQ(result, rc::Ok);
    EXPECT_EQ(console.output, L"\tAdding file busy.log...locked, retrying...OK\n");
    const ParsedArchive parsed = Parse();
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].Content(), "released");
}

// Still locked after the wait, and with workers, which meet the sharing violation first: the
// writer retries it at its turn and leaves it out.
TEST_F(ZipTreeWin, ALockedFileInAParallelPackIsRetriedAtItsTurn) {
    for (unsigned i = 0; i < 30; ++i) {
        const auto name = source / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i));
        test::WriteBytes(name, std::string(i * 5000, static_cast<char>('a' + i % 7)));
    }
    test::WriteBytes(source / "d1" / "busy.log", "busy");
    const HANDLE held = HoldLocked((source / "d1" / "busy.log").wstring());
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    test::PackTree(source, archive, 0);  // access times as after any read
    const test::PackRun sequential = test::PackTree(source, archive, 0);
    test::ExpectSameRun(sequential, test::PackTree(source, archive, 2), "2 workers");
    CloseHandle(held);
    EXPECT_NE(sequential.transcript.find(L"busy.log...locked, retrying...failed.\n"),
              std::wstring::npos);
}

// Inside the tree the archive, held unshared, would otherwise be "locked".
TEST_F(ZipTreeWin, TheArchiveInsideTheTreeIsSkipped) {
    archive = source / "package.tmp";
    test::WriteBytes(source / "a.txt", "a");
    ASSERT_EQ(Zip(), rc::Ok);
    EXPECT_EQ(console.output, L"\tAdding file a.txt...OK\n");
    EXPECT_EQ(Parse().entries.size(), 1u);
}

// Wine 8 makes no links through CreateSymbolicLinkW or FSCTL_SET_REPARSE_POINT, but reports
// a Unix symbolic link to a directory as a reparse point; such a link is made with ln.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return false;
    char* unixTarget = unixName(target.c_str());
    char* unixLink = unixName(link.c_str());
    bool made = false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (unixTarget != nullptr && unixLink != nullptr) {
        const std::string narrow = std::string("/bin/ln -s ") + unixTarget + " " + unixLink;
        std::wstring command(narrow.begin(), narrow.end());
        if (CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            // A Unix child's handle does not tell when it ends: wait for the link itself.
            for (int i = 0; i < 100 && !made; ++i) {
                made = GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
                if (!made) Sleep(50);
            }
        }
    }
    HeapFree(GetProcessHeap(), 0, unixTarget);
    HeapFree(GetProcessHeap(), 0, unixLink);
    return made;
}

// Neither archived nor followed, and the work directory's removal never reaches through it.
// (Wine cannot remove a Unix directory link through the Win32 calls, so only the target's
// safety is checked.)
TEST_F(ZipTreeWin, LinksAreNeitherFollowedNorAddedNorRemovedThrough) {
    test::WriteBytes(dir / "outside" / "keep.txt", "keep");
    test::WriteBytes(source / "real.txt", "real");
    const std::wstring link = (source / "dirlink").wstring();
    if (!MakeDirectoryLink(link, (dir / "outside").wstring())) {
        GTEST_SKIP() << "no directory link can be made here";
    }
    ASSERT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    ASSERT_EQ(Zip(), rc::Ok);
    const ParsedArchive parsed = Parse();
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name, "real.txt");
    EXPECT_EQ(console.output, L"\tAdding file real.txt...OK\n");

    (void)fs::RemoveTree(source.wstring());
    EXPECT_EQ(GetFileAttributesW((source / "real.txt").wstring().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(test::ReadBytes(dir / "outside" / "keep.txt"), (test::Bytes{'k', 'e', 'e', 'p'}));
}

}  // namespace
}  // namespace qor
