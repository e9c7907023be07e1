#include "common/text_format.h"

#include <vector>

#include <gtest/gtest.h>

#include "common/path_join.h"
#include "common/random.h"
#include "common/time_fields.h"

namespace qor {
namespace {

TEST(FormatText, WideStringsNumbersAndGrowth) {
    EXPECT_EQ(FormatText(L"[%ls|%3i|%4i|%x]", L"ab", 7, 4203, 0xE0010001u),
              L"[ab|  7|4203|e0010001]");
    const std::wstring long_text(5000, L'z');
    EXPECT_EQ(FormatText(L"<%ls>", long_text.c_str()), L"<" + long_text + L">");
    const wchar_t non_ascii[] = {0x00E9, 0x4E2D, 0xD800, 0};  // includes an unpaired surrogate
    EXPECT_EQ(FormatText(L"%ls", non_ascii), std::wstring(non_ascii));
}

TEST(FormatText, TooLongGivesEmptyText) {
    const std::wstring huge((std::size_t{1} << 20) + 1, L'x');
    EXPECT_EQ(FormatText(L"%ls", huge.c_str()), L"");
}

TEST(JoinPath, OneSeparatorBetweenTheParts) {
    EXPECT_EQ(JoinPath(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:/a/", L"b"), L"C:/a/b");
    EXPECT_EQ(JoinPath(L"", L"b"), L"b");
    EXPECT_EQ(JoinPath(L"C:\\a", L"dumps\\"), L"C:\\a\\dumps\\");
}

TEST(CombinePath, EmptyOrAbsoluteSecondPartStandsAlone) {
    EXPECT_EQ(CombinePath(L"C:\\w", L""), L"C:\\w");
    EXPECT_EQ(CombinePath(L"", L"a.txt"), L"a.txt");
    EXPECT_EQ(CombinePath(L"C:\\w", L"a.txt"), L"C:\\w\\a.txt");
    EXPECT_EQ(CombinePath(L"C:\\w", L"D:\\r.tmp"), L"D:\\r.tmp");
    EXPECT_EQ(CombinePath(L"C:\\w", L"\\\\srv\\s"), L"\\\\srv\\s");
    EXPECT_EQ(CombinePath(L"/tmp/w", L"/tmp/x"), L"/tmp/x");
    // Relative to the current folder of a drive, or to the current drive's root.
    EXPECT_FALSE(IsAbsolutePath(L"D:r.tmp"));
    EXPECT_FALSE(IsAbsolutePath(L"C:"));
    EXPECT_FALSE(IsAbsolutePath(L"\\r.tmp"));
    EXPECT_TRUE(IsAbsolutePath(L"c:/r.tmp"));
}

constexpr std::int64_t kUnixEpoch = 116'444'736'000'000'000;
constexpr std::int64_t kSecond = 10'000'000;

TEST(TimeFieldsFromSystemTime, CalendarFieldsDownTo100Nanoseconds) {
    TimeFields t;
    // 2026-12-05 23:59:59.9991234 UTC, a Saturday.
    const std::int64_t time = kUnixEpoch + 1'796'515'199 * kSecond + 9'991'234;
    ASSERT_EQ(TimeFieldsFromSystemTime(time, t), 0);
    const std::vector<int> fields{t.year, int(t.month), t.day, int(t.weekday), t.hour, t.minute,
                                  t.second, t.millisecond, t.microsecond, t.nanosecond};
    EXPECT_EQ(fields, (std::vector<int>{2026, 12, 5, 6, 23, 59, 59, 999, 123, 400}));

    ASSERT_EQ(TimeFieldsFromSystemTime(kUnixEpoch + (951'782'400 - 1) * kSecond, t), 0);
    EXPECT_EQ(t.month * 100u + t.day, 228u);  // 2000-02-28 23:59:59, leap year follows
    ASSERT_EQ(TimeFieldsFromSystemTime(kUnixEpoch + (951'782'400 + 86'400) * kSecond, t), 0);
    EXPECT_EQ(t.month * 100u + t.day, 301u);
}

TEST(TimeFieldsFromSystemTime, BeforeEpochAndNoTime) {
    TimeFields t;
    t.year = 7;
    EXPECT_EQ(TimeFieldsFromSystemTime(kUnixEpoch - 1, t), static_cast<ResultCode>(0xE0010064));
    EXPECT_EQ(t.year, 7);  // untouched
    ASSERT_EQ(TimeFieldsFromSystemTime(kUnixEpoch, t), 0);
    EXPECT_EQ(t.weekday, 4u);  // a Thursday
    EXPECT_EQ(TimeFieldsFromSystemTime(kNoSystemTime, t), static_cast<ResultCode>(0x60010064));
    EXPECT_EQ(t.year * 10000u + t.month * 100u + t.day, 16001231u);
    EXPECT_EQ(t.hour + t.minute + t.second + t.millisecond + t.weekday, 0u);
}

TEST(Random48, StandardSequenceFromTheInitialState) {
    Random48 random;
    // The 48-bit generator's first outputs from state 0x1330E, computed independently.
    EXPECT_EQ(random.Next(), 89400484u);
    EXPECT_EQ(random.Next(), 976015093u);
    EXPECT_EQ(random.Next(), 1792756325u);
    Random48 seeded;
    const std::uint8_t bytes[] = {1, 2, 3};
    seeded.Seed(bytes);
    EXPECT_NE(seeded.Next(), Random48().Next());
}

}  // namespace
}  // namespace qor
