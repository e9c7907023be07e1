// Packing ahead on worker threads gives the sequential writer's archive and transcript.
#include <gtest/gtest.h>

#include <string>

#include "zip_parallel_support.h"

namespace qor {
namespace {

using test::PackRun;
using test::stdfs::path;

std::string Lines(std::size_t count, unsigned seed) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += "2024-05-06 line " + std::to_string(i * seed % 977) + " state " +
                std::to_string(seed) + "\r\n";
    }
    return text;
}

void ManySmallFiles(const path& root) {
    for (unsigned i = 0; i < 300; ++i) {
        const path folder = root / ("d" + std::to_string(i % 4)) / (i % 3 ? "" : "sub");
        test::WriteBytes(folder / ("f" + std::to_string(i) + ".log"), Lines(i % 40, i));
    }
}

// Bigger than the small budget below, so it is packed by the writer as it streams.
void OneBigFile(const path& root) {
    test::WriteBytes(root / "before.txt", Lines(50, 1));
    test::WriteBytes(root / "logs" / "big.log",
                     Lines(60000, 7) + test::RandomBytes(1 << 20, 3) + Lines(60000, 9));
    test::WriteBytes(root / "logs" / "after.txt", Lines(50, 2));
}

void StoredEmptyAndFolders(const path& root) {
    test::WriteBytes(root / "crash.zip", test::RandomBytes(70000, 4));
    test::WriteBytes(root / "DATA.GZ", test::RandomBytes(20000, 5));
    test::WriteBytes(root / "empty.log", "");
    test::WriteBytes(root / "empty.gz", "");
    test::WriteBytes(root / "a" / "archive.zip.txt", Lines(300, 3));
    test::WriteBytes(root / "a" / "b" / "c" / "deep.inf", Lines(900, 5));
    test::stdfs::create_directories(root / "a" / "empty");
    test::stdfs::create_directories(root / "z" / "empty" / "emptier");
}

TEST(ZipParallelTest, TheArchiveIsTheSequentialOneByteForByte) {
    struct Tree {
        const char* name;
        void (*make)(const path&);
    };
    const Tree trees[] = {{"many small files", ManySmallFiles},
                          {"one big file", OneBigFile},
                          {"stored, empty, folders", StoredEmptyAndFolders}};
    for (const Tree& tree : trees) {
        test::TempDir dir;
        tree.make(dir / "work");
        test::PackTree(dir / "work", dir / "p.zip", 0);  // access times as after any read
        const PackRun sequential = test::PackTree(dir / "work", dir / "p.zip", 0);
        ASSERT_EQ(sequential.result, rc::Ok) << tree.name;
        for (const unsigned workers : {2u, 4u}) {
            for (const std::uint64_t budget : {64ull << 20, 64ull << 10}) {
                const std::string label = std::string(tree.name) + ", " +
                                          std::to_string(workers) + " workers, budget " +
                                          std::to_string(budget);
                test::ExpectSameRun(
                    sequential, test::PackTree(dir / "work", dir / "p.zip", workers, budget),
                    label);
            }
        }
    }
}

// A file whose data would pass the limit fails as it does when streamed, partial bytes included.
TEST(ZipParallelTest, TheArchiveLimitCutsTheSameEntries) {
    test::TempDir dir;
    StoredEmptyAndFolders(dir / "work");
    OneBigFile(dir / "work" / "more");
    // Also leaves the access times as after any read.
    const std::size_t full = test::PackTree(dir / "work", dir / "p.zip", 0).archive.size();
    for (const std::size_t limit : {full / 20, full / 3, full / 2, full - 40}) {
        const auto max = static_cast<std::uint32_t>(limit);
        const PackRun sequential = test::PackTree(dir / "work", dir / "p.zip", 0, 64ull << 20, max);
        ASSERT_NE(sequential.transcript.find(L"failed."), std::wstring::npos) << limit;
        test::ExpectSameRun(sequential,
                            test::PackTree(dir / "work", dir / "p.zip", 2, 64ull << 20, max),
                            "limit " + std::to_string(limit));
    }
}

}  // namespace
}  // namespace qor
