#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include <chrono>

#include "archive/zip_format.h"
#include "zip_test_support.h"

namespace qor::zip {
namespace {

using test::ParsedArchive;
using test::ParsedEntry;

// 2021-03-04 05:06:08 UTC, and 07:06:08 as the local reading.
ClockReading FixedClock() {
    const std::int64_t utc =
        SecondsFromCivil(2021, 3, 4, 5, 6, 8) * 10000000 + 116444736000000000;
    return {utc, utc + 7200LL * 10000000};
}

std::string Le32(std::int64_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

class ZipWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ZipWriter::Create(archive.wstring(), writer, {.clock = FixedClock}), rc::Ok);
    }
    ParsedArchive CloseAndParse() {
        EXPECT_EQ(writer.Close(), zr::Ok);
        ParsedArchive parsed;
        test::ParseArchive(archive, parsed);
        return parsed;
    }
    std::wstring Source(const std::string& name, const std::string& content) {
        test::WriteBytes(dir / name, content);
        return (dir / name).wstring();
    }

    test::TempDir dir;
    test::stdfs::path archive = dir / "out.zip";
    ZipWriter writer;
};

TEST_F(ZipWriterTest, EmptyArchiveIsTheEndRecordAlone) {
    ASSERT_EQ(writer.Close(), zr::Ok);
    EXPECT_EQ(test::ReadBytes(archive), (test::Bytes{'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ZipWriterTest, DeflatedFileHeaders) {
    std::string content;
    for (int i = 0; i < 4000; ++i) content += "line " + std::to_string(i) + "\r\n";  // 3 buffers
    const std::wstring source = Source("report.txt", content);
    const std::int64_t written = SecondsFromCivil(2013, 6, 14, 10, 15, 37);
    using namespace std::chrono;
    test::stdfs::last_write_time(dir / "report.txt",
                                 file_clock::from_sys(sys_seconds(seconds(written))));

    ASSERT_EQ(writer.AddFile(L"sub\\report.txt", source), zr::Ok);
    const ParsedArchive parsed = CloseAndParse();
    ASSERT_EQ(parsed.entries.size(), 1u);
    const ParsedEntry& e = parsed.entries[0];
    EXPECT_EQ(e.name, "sub/report.txt");
    EXPECT_EQ(e.madeBy, 0x0B17);
    EXPECT_EQ(e.needed, 20);
    EXPECT_EQ(e.flags, 0x0002);
    EXPECT_EQ(e.method, 8);
    EXPECT_EQ(e.time, 10 << 11 | 15 << 5 | 18);
    EXPECT_EQ(e.date, 33 << 9 | 6 << 5 | 14);
    EXPECT_EQ(e.Content(), content);
    EXPECT_LT(e.packedSize, content.size() / 3);
    EXPECT_EQ(e.external & ~0x27u, 0x81800000u);
    EXPECT_EQ(e.localExtra.substr(0, 9), std::string("UT\x0D\x00\x07", 5) + Le32(written));
    EXPECT_EQ(e.centralExtra, std::string("UT\x05\x00\x07", 5) + Le32(written));
    EXPECT_EQ(parsed.centralOffset, 30 + 14 + 17 + e.packedSize);
}

TEST_F(ZipWriterTest, PackedSuffixesAreStoredAndEverythingElseDeflated) {
    const std::string packed = test::RandomBytes(40000, 1);
    ASSERT_EQ(writer.AddFile(L"trace.zip", Source("trace.zip", packed)), zr::Ok);
    ASSERT_EQ(writer.AddFile(L"DATA.GZ", Source("DATA.GZ", "gz")), zr::Ok);
    ASSERT_EQ(writer.AddFile(L"archive.zip.txt", Source("archive.zip.txt", "text")), zr::Ok);
    ASSERT_EQ(writer.AddFile(L"logs.gz\\readme", Source("readme", "readme")), zr::Ok);
    ASSERT_EQ(writer.AddFile(L"empty.log", Source("empty.log", "")), zr::Ok);
    using test::stdfs::perms;
    test::stdfs::permissions(dir / "DATA.GZ", perms::owner_read | perms::group_read);
    ASSERT_EQ(writer.AddFile(L"read-only.txt", (dir / "DATA.GZ").wstring()), zr::Ok);
    const ParsedArchive parsed = CloseAndParse();
    ASSERT_EQ(parsed.entries.size(), 6u);

    for (const char* name : {"trace.zip", "DATA.GZ"}) {
        EXPECT_EQ(parsed.Find(name).method, 0) << name;
        EXPECT_EQ(parsed.Find(name).flags, 0) << name;
    }
    EXPECT_EQ(parsed.Find("trace.zip").Content(), packed);
    for (const char* name : {"archive.zip.txt", "logs.gz/readme", "empty.log"}) {
        EXPECT_EQ(parsed.Find(name).method, 8) << name;
        EXPECT_EQ(parsed.Find(name).flags, 2) << name;
    }
    EXPECT_EQ(parsed.Find("logs.gz/readme").Content(), "readme");
    EXPECT_EQ(parsed.Find("empty.log").packed, (test::Bytes{0x03, 0x00}));
    EXPECT_EQ(parsed.Find("empty.log").Content(), "");
    EXPECT_EQ(parsed.Find("read-only.txt").external & ~0x26u, 0x81000001u);
    for (std::size_t i = 1; i < parsed.entries.size(); ++i) {  // no gaps between entries
        const ParsedEntry& before = parsed.entries[i - 1];
        EXPECT_EQ(parsed.entries[i].offset,
                  before.offset + 30 + before.name.size() + 17 + before.packedSize);
    }
}

TEST_F(ZipWriterTest, FolderEntriesTakeTheClock) {
    ASSERT_EQ(writer.AddFolder(L"logs\\"), zr::Ok);
    ASSERT_EQ(writer.AddFolder(L"logs\\deep"), zr::Ok);
    const ParsedArchive parsed = CloseAndParse();
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].name, "logs/deep/");
    const ParsedEntry& e = parsed.entries[0];
    EXPECT_EQ(e.name, "logs/");
    EXPECT_EQ(e.method, 0);
    EXPECT_EQ(e.flags, 0);
    EXPECT_EQ(e.external, 0x41C00010u);
    EXPECT_EQ(e.crc | e.size | e.packedSize, 0u);
    EXPECT_EQ(e.time, 7 << 11 | 6 << 5 | 4);  // the local reading
    EXPECT_EQ(e.date, 41 << 9 | 3 << 5 | 4);
    const std::string utc = Le32(SecondsFromCivil(2021, 3, 4, 5, 6, 8));
    EXPECT_EQ(e.localExtra, std::string("UT\x0D\x00\x07", 5) + utc + utc + utc);
}

TEST_F(ZipWriterTest, RefusedEntriesLeaveAValidArchive) {
    ASSERT_EQ(writer.AddFile(L"first.txt", Source("first.txt", "first")), zr::Ok);
    const auto before = test::stdfs::file_size(archive);
    EXPECT_EQ(writer.AddFile(L"", Source("a", "a")), zr::BadArgument);
    EXPECT_EQ(writer.AddFile(std::wstring(260, L'n'), Source("b", "b")), zr::BadArgument);
    EXPECT_EQ(writer.AddFolder(std::wstring(259, L'n')), zr::BadArgument);  // with its "/"
    EXPECT_EQ(writer.AddFile(L"gone.txt", (dir / "gone.txt").wstring()), zr::SourceUnavailable);
    EXPECT_EQ(writer.AddFile(L"folder", dir.Path().wstring()), zr::SourceUnavailable);
    const auto big = dir / "big.bin";
    test::WriteBytes(big, "");
    std::error_code noSparseFile;
    test::stdfs::resize_file(big, 0x100000000ull, noSparseFile);
    if (!noSparseFile) {
        EXPECT_EQ(writer.AddFile(L"big.bin", big.wstring()), zr::BadArgument);
    }
    EXPECT_EQ(test::stdfs::file_size(archive), before);  // nothing written for any of them

    ASSERT_EQ(writer.AddFile(std::wstring(259, L'n'), Source("c", "c")), zr::Ok);
    const ParsedArchive parsed = CloseAndParse();
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].name, std::string(259, 'n'));
    EXPECT_EQ(writer.AddFolder(L"late"), zr::Closed);
    EXPECT_EQ(writer.Close(), zr::Closed);

    ZipWriter never;
    EXPECT_NE(ZipWriter::Create((dir / "missing" / "x.zip").wstring(), never), rc::Ok);
    EXPECT_EQ(never.AddFolder(L"x"), zr::NoOutput);
}

// The 4 GiB limit of the format, scaled down.
TEST_F(ZipWriterTest, EntriesThatWouldPassTheArchiveLimitAreRefused) {
    writer = ZipWriter();  // releases the unshared output
    ASSERT_EQ(ZipWriter::Create(archive.wstring(), writer, {.maxArchiveSize = 4000}), rc::Ok);
    const std::string noise = test::RandomBytes(5000, 2);
    ASSERT_EQ(writer.AddFile(L"a.txt", Source("a.txt", "small")), zr::Ok);
    EXPECT_EQ(writer.AddFile(L"noise.gz", Source("noise.gz", noise)), zr::BadArgument);
    EXPECT_EQ(writer.AddFile(L"noise.bin", Source("noise.bin", noise)), zr::BadArgument);
    ASSERT_EQ(writer.AddFile(L"b.txt", Source("b.txt", "also small")), zr::Ok);
    const ParsedArchive parsed = CloseAndParse();
    EXPECT_LE(parsed.fileSize, 4000u);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.Find("b.txt").Content(), "also small");
}

TEST_F(ZipWriterTest, AnOutputFailureIsNeverReportedAsComplete) {
    if (!test::stdfs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(ZipWriter::Create(L"/dev/full", writer), rc::Ok);
    EXPECT_EQ(writer.AddFile(L"a.txt", Source("a.txt", "a")), zr::HeaderWrite);
    EXPECT_EQ(writer.AddFolder(L"logs"), zr::ErrorState);
    EXPECT_EQ(writer.Close(), zr::HeaderWrite);
}

}  // namespace
}  // namespace qor::zip
