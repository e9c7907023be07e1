#include "archive/zip_format.h"

#include <gtest/gtest.h>

namespace qor::zip {
namespace {

constexpr std::int64_t kTicks = 10000000;
constexpr std::int64_t kUnixEpoch = 116444736000000000;

std::int64_t FileTime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second) {
    return SecondsFromCivil(year, month, day, hour, minute, second) * kTicks + kUnixEpoch;
}

TEST(ZipFormat, OnlyTheLastSuffixDecidesStoredData) {
    for (const wchar_t* stored : {L"trace.zip", L"DATA.GZ", L"a.Z", L"a.z", L"x.tgz", L"x.ARJ",
                                  L"x.lzh", L"x.zoo", L"x.arc", L"dir/x.gz"}) {
        EXPECT_TRUE(IsStoredName(stored)) << stored;
    }
    for (const wchar_t* deflated : {L"archive.zip.txt", L"logs.gz/readme", L"zip", L"x.gzip",
                                    L"x.", L"x.7z", L"noext", L""}) {
        EXPECT_FALSE(IsStoredName(deflated)) << deflated;
    }
}

TEST(ZipFormat, DosTimeIsUtcWithSecondsHalved) {
    const DosDateTime dos = ToDosDateTime(FileTime(2013, 6, 14, 10, 15, 37));
    EXPECT_EQ(dos.time, 10 << 11 | 15 << 5 | 18);
    EXPECT_EQ(dos.date, 33 << 9 | 6 << 5 | 14);
    const DosDateTime leap = ToDosDateTime(FileTime(2024, 2, 29, 23, 59, 59) + kTicks - 1);
    EXPECT_EQ(leap.time, 23 << 11 | 59 << 5 | 29);
    EXPECT_EQ(leap.date, 44 << 9 | 2 << 5 | 29);
}

TEST(ZipFormat, DosTimeOutsideItsRangeIsClamped) {
    const DosDateTime early = ToDosDateTime(FileTime(1970, 1, 1, 12, 0, 0));
    EXPECT_EQ(early.date, 1 << 5 | 1);
    EXPECT_EQ(early.time, 0);
    EXPECT_EQ(ToDosDateTime(0).date, 1 << 5 | 1);  // 1601
    const DosDateTime late = ToDosDateTime(FileTime(2200, 5, 5, 5, 5, 5));
    EXPECT_EQ(late.date, 127 << 9 | 12 << 5 | 31);
    EXPECT_EQ(late.time, 23 << 11 | 59 << 5 | 29);
    EXPECT_EQ(ToDosDateTime(FileTime(2107, 12, 31, 1, 0, 0)).date, 127 << 9 | 12 << 5 | 31);
    EXPECT_EQ(ToDosDateTime(FileTime(1980, 1, 1, 0, 0, 1)).date, 1 << 5 | 1);
}

TEST(ZipFormat, UnixSecondsKeepTheLow32Bits) {
    EXPECT_EQ(SecondsFromCivil(2000, 3, 1, 0, 0, 0), 951868800);
    EXPECT_EQ(ToUnixSeconds(FileTime(2013, 6, 14, 10, 15, 37)), 1371204937u);
    EXPECT_EQ(ToUnixSeconds(kUnixEpoch - kTicks), 0xFFFFFFFFu);          // one second before
    EXPECT_EQ(ToUnixSeconds(kUnixEpoch - kTicks / 2), 0u);               // truncated toward 0
    EXPECT_EQ(ToUnixSeconds(FileTime(2106, 2, 7, 6, 28, 16)), 0u);       // 2^32 seconds
}

TEST(ZipFormat, NamesAreUtf8UpTo259Bytes) {
    std::string out = "untouched";
    EXPECT_TRUE(EncodeEntryName(L"logs/caf\u00E9 \u65E5\U0001F600", out));
    EXPECT_EQ(out, "logs/caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80");
    EXPECT_TRUE(EncodeEntryName(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", out));
    EXPECT_EQ(out, "\xEF\xBF\xBDx");  // an unpaired surrogate

    EXPECT_TRUE(EncodeEntryName(std::wstring(259, L'a'), out));
    EXPECT_EQ(out.size(), 259u);
    out = "untouched";
    EXPECT_FALSE(EncodeEntryName(std::wstring(260, L'a'), out));
    EXPECT_FALSE(EncodeEntryName(std::wstring(130, L'\u00E9'), out));  // 260 bytes
    EXPECT_EQ(out, "untouched");
}

TEST(ZipFormat, ExternalAttributesOfFiles) {
    EXPECT_EQ(FileExternalAttributes(0x80), 0x81800000u);  // normal
    EXPECT_EQ(FileExternalAttributes(0x20 | 0x02 | 0x04), 0x81800026u);
    EXPECT_EQ(FileExternalAttributes(0x01 | 0x20), 0x81000021u);
    EXPECT_EQ(FileExternalAttributes(0x01 | 0x10 | 0x400), 0x81000001u);
}

}  // namespace
}  // namespace qor::zip
