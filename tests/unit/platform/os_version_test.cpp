#include "platform/os_version.h"

#include <gtest/gtest.h>

#include "fakes/fake_os_info_source.h"
#include "platform/os_display_name.h"

namespace qor {
namespace {

TEST(FillOsVersionRecord, CopiesTheAnswersOnce) {
    test::FakeOsInfoSource source;
    source.version = {6, 1, 7601, L"Service Pack 1", 1, 2, 0x0112, 1};
    source.basic = {-128, 4096, 65536};
    OsVersionRecord record;
    ASSERT_EQ(FillOsVersionRecord(source, record), rc::Ok);

    EXPECT_TRUE(record.filled);
    EXPECT_EQ(record.majorVersion, 6u);
    EXPECT_EQ(record.minorVersion, 1u);
    EXPECT_EQ(record.buildNumber, 7601u);
    EXPECT_EQ(record.fourthVersionWord, 0u);
    EXPECT_EQ(record.processorClass, ProcessorClass::Amd64);
    EXPECT_EQ(record.suiteMask, 0x0112u);
    EXPECT_EQ(record.productType, 1);
    EXPECT_EQ(record.servicePackMajor, 1);
    EXPECT_EQ(record.servicePackMinor, 2);
    EXPECT_EQ(record.displayName,
              L"Microsoft(R) Windows(R) 7 (64-bit), 6.1.7601 Service Pack 1 Build 7601");
    EXPECT_EQ(record.numberOfProcessors, 128u);  // never negative
    EXPECT_EQ(record.pageSize, 4096u);
    EXPECT_EQ(record.allocationGranularity, 65536u);

    // A second fill asks nothing and changes nothing, even when the system would now fail.
    const int calls = source.versionCalls;
    source.versionCode = rc::OutOfMemory;
    source.version.major = 10;
    EXPECT_EQ(FillOsVersionRecord(source, record), rc::Ok);
    EXPECT_EQ(source.versionCalls, calls);
    EXPECT_EQ(record.majorVersion, 6u);
}

TEST(FillOsVersionRecord, AnyFailureLeavesTheRecordUnfilled) {
    const ResultCode failure = static_cast<ResultCode>(0xE0010052);
    test::FakeOsInfoSource basic, version, architecture, product;
    basic.basicCode = failure;
    version.versionCode = failure;
    architecture.architectureCode = failure;
    product.version = {6, 0, 6000, L"", 0, 0, 0, 1};
    product.productAnswer = ProductQuery::Refused;

    for (auto [source, expected] : {std::pair<test::FakeOsInfoSource*, ResultCode>{&basic, failure},
                                    {&version, failure},
                                    {&architecture, failure},
                                    {&product, SuiteError(0x20)}}) {
        OsVersionRecord record;
        EXPECT_EQ(FillOsVersionRecord(*source, record), expected);
        EXPECT_FALSE(record.filled);
        EXPECT_TRUE(record.displayName.empty());
        EXPECT_FALSE(record.IsXpOrLater());
        EXPECT_EQ(FillOsVersionRecord(*source, record), expected);  // not remembered as done
    }
}

TEST(FillOsVersionRecord, LongNamesAreCutTo255) {
    test::FakeOsInfoSource source;
    source.version.csdText = std::wstring(250, L'x');
    std::wstring full;
    ASSERT_EQ(BuildOsDisplayName(source, full), rc::Ok);
    ASSERT_GT(full.size(), 255u);

    OsVersionRecord record;
    ASSERT_EQ(FillOsVersionRecord(source, record), rc::Ok);
    EXPECT_EQ(record.displayName, full.substr(0, 255));
}

struct PredicateRow {
    std::uint32_t major, minor;
    ProcessorClass processor;
    std::uint8_t productType;
    const char* expected;  // xp, xp or later, 2003 family, vista or later, 8 or later, 64-bit
};

TEST(OsVersionRecord, Predicates) {
    using enum ProcessorClass;
    const PredicateRow rows[] = {
        {5, 0, X86, 1, "000000"},   {5, 0, X86, 3, "000000"},   {5, 1, X86, 1, "110000"},
        {5, 1, Ia64, 3, "110001"},  {5, 1, Amd64, 1, "010001"}, {5, 2, Amd64, 1, "110001"},
        {5, 2, Amd64, 3, "011001"}, {5, 2, X86, 1, "010000"},   {5, 2, Ia64, 2, "011001"},
        {5, 3, X86, 3, "011000"},   {6, 0, X86, 1, "010100"},   {6, 1, Amd64, 3, "010101"},
        {6, 2, X86, 1, "010110"},   {6, 3, Ia64, 1, "010111"},  {10, 0, Amd64, 1, "010111"},
        {4, 9, X86, 3, "000000"},
    };
    for (const PredicateRow& row : rows) {
        OsVersionRecord record;
        record.majorVersion = row.major;
        record.minorVersion = row.minor;
        record.processorClass = row.processor;
        record.productType = row.productType;
        const auto answers = [&record] {
            std::string bits;
            for (bool b : {record.IsWindowsXp(), record.IsXpOrLater(), record.IsServer2003Family(),
                           record.IsVistaOrLater(), record.IsWindows8OrLater(),
                           record.Is64BitSystem()}) {
                bits += b ? '1' : '0';
            }
            return bits;
        };
        EXPECT_EQ(answers(), "000000") << "unfilled " << row.major << "." << row.minor;
        record.filled = true;
        EXPECT_EQ(answers(), row.expected) << row.major << "." << row.minor << " class "
                                           << static_cast<int>(row.processor) << " type "
                                           << int{row.productType};
    }
}

}  // namespace
}  // namespace qor
