// Packing ahead meets a locked file, a read error and a full disk exactly as the sequential
// writer does; symbolic links, and a folder that vanishes while a pipe is retried.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <string>
#include <string_view>

#include "zip_parallel_support.h"

namespace {

// Reads of the file with this inode fail once they reach kFailAt bytes.
std::atomic<ino_t> g_failingInode{0};
constexpr off_t kFailAt = 40000;
// Opens of these paths fail as a file held by another process does; the second only until
// the first retry delay.
std::string g_lockedPath, g_releasedPath;
std::atomic<bool> g_released{false};
// Opens of paths under this folder are counted.
std::string g_countedFolder;
std::atomic<int> g_countedOpens{0};

}  // namespace

// Every open and read of the test program comes here; the real ones are the system calls.
extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (!g_countedFolder.empty() && std::string_view(path).starts_with(g_countedFolder)) {
        ++g_countedOpens;
    }
    if (path == g_lockedPath || (path == g_releasedPath && !g_released)) {
        errno = EACCES;
        return -1;
    }
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    const ino_t failing = g_failingInode.load();
    struct stat st;
    if (failing != 0 && fstat(fd, &st) == 0 && st.st_ino == failing &&
        lseek(fd, 0, SEEK_CUR) >= kFailAt) {
        errno = EIO;
        return -1;
    }
    return syscall(SYS_read, fd, buffer, size);
}

namespace qor {
namespace {

using test::PackRun;
using test::stdfs::path;

std::string Text(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) text += "entry " + std::to_string(i * 7 % 1000) + "\n";
    return text;
}

void MakeTree(const path& root) {
    for (int i = 0; i < 40; ++i) {
        test::WriteBytes(root / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i) + ".log"),
                         Text(static_cast<std::size_t>(i) * 300));
    }
    test::WriteBytes(root / "d1" / "trace.zip", test::RandomBytes(90000, 8));
    test::WriteBytes(root / "d2" / "broken.log", Text(20000));
}

class ZipParallelPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeTree(source);
        test::PackTree(source, archive, 0);  // access times as after any read
    }
    void TearDown() override {
        test::g_onPackSleep = nullptr;
        g_failingInode = 0;
        g_lockedPath.clear();
        g_releasedPath.clear();
        g_countedFolder.clear();
    }
    // Both runs from the same starting state; `arrange` sets it up before each.
    PackRun ExpectSameRuns(const std::function<void()>& arrange, const std::string& label) {
        arrange();
        PackRun sequential = test::PackTree(source, archive, 0);
        for (const unsigned workers : {2u, 4u}) {
            arrange();
            test::ExpectSameRun(sequential, test::PackTree(source, archive, workers),
                                label + ", " + std::to_string(workers) + " workers");
        }
        return sequential;
    }

    test::TempDir dir;
    path source = dir / "work";
    path archive = dir / "package.tmp";
};

TEST_F(ZipParallelPosixTest, AFileLockedAtItsTurn) {
    g_lockedPath = (source / "d0" / "f3.log").string();
    g_releasedPath = (source / "d1" / "f7.log").string();
    const PackRun run = ExpectSameRuns(
        [] {
            g_released = false;
            test::g_onPackSleep = [] { g_released = true; };
        },
        "locked");
    EXPECT_NE(run.transcript.find(L"f3.log...locked, retrying...failed.\n"), std::wstring::npos);
    EXPECT_NE(run.transcript.find(L"f7.log...OK\n"), std::wstring::npos);
}

TEST_F(ZipParallelPosixTest, AReadErrorInTheMiddleOfAFile) {
    struct stat st;
    ASSERT_EQ(stat((source / "d2" / "broken.log").c_str(), &st), 0);
    ASSERT_GT(st.st_size, 2 * kFailAt);
    g_failingInode = st.st_ino;
    const PackRun run = ExpectSameRuns([] {}, "read error");
    EXPECT_NE(run.transcript.find(L"broken.log...locked, retrying...failed.\n"),
              std::wstring::npos);
}

// The output file may not grow past the limit: the write that reaches it is cut short.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(ZipParallelPosixTest, AFullDisk) {
    const std::size_t full = test::PackTree(source, archive, 0).archive.size();
    for (const std::size_t room : {std::size_t{10}, std::size_t{100}, full / 4, full - 10}) {
        const FileSizeLimit limit(room);
        const PackRun sequential = test::PackTree(source, archive, 0);
        ASSERT_EQ(sequential.archive.size(), room);
        test::ExpectSameRun(sequential, test::PackTree(source, archive, 2),
                            "disk full at " + std::to_string(room));
    }
}

// Once the first write has failed every entry fails: the workers stop packing at once.
TEST_F(ZipParallelPosixTest, WorkersStopAfterAnOutputFailure) {
    const path wide = dir / "wide";
    for (int i = 0; i < 600; ++i) {
        test::WriteBytes(wide / ("f" + std::to_string(i) + ".log"), Text(3000));
    }
    g_countedFolder = wide.string() + "/";
    const FileSizeLimit limit(10);
    g_countedOpens = 0;
    const PackRun sequential = test::PackTree(wide, archive, 0);
    ASSERT_EQ(g_countedOpens.load(), 1) << "the writer opens no file after the failure";
    g_countedOpens = 0;
    test::ExpectSameRun(sequential, test::PackTree(wide, archive, 2), "output failed");
    // At most what was listed ahead (64 items and the front one) before the failure.
    EXPECT_LE(g_countedOpens.load(), 66);
}

using test::ParsedArchive;
using test::TempDir;

class ZipTreePosixTest : public test::ZipTreeTest {
protected:
    void MakePipe(const test::stdfs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }
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
    test::g_onPackSleep = [&] { test::stdfs::remove_all(source / "second"); };
    EXPECT_EQ(Zip(), rc::FileNotFound);
    const test::Bytes bytes = test::ReadBytes(archive);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "PK\3\4");
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), "PK\5\6", "PK\5\6" + 4), bytes.end())
        << "no end record after a failed walk";
}

}  // namespace
}  // namespace qor
