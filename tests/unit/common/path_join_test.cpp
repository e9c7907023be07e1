#include "common/path_join.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

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
}

}  // namespace
}  // namespace qor
