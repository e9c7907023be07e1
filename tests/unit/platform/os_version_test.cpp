#include "platform/os_display_name.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/os_info_source.h"
#include "platform/os_version.h"

namespace qor::test {

// Answers set by the test; counts and arguments of the calls are kept.
class FakeOsInfoSource final : public OsInfoSource {
public:
    ResultCode GetVersion(OsVersionData& out) noexcept override {
        ++versionCalls;
        if (Succeeded(versionCode)) out = version;
        return versionCode;
    }
    ResultCode GetNativeArchitecture(std::optional<std::uint16_t>& out) noexcept override {
        if (Succeeded(architectureCode)) out = architecture;
        return architectureCode;
    }
    ProductQuery GetProductType(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor,
                                std::uint32_t spMinor, std::uint32_t& type) noexcept override {
        productQueries.push_back({major, minor, spMajor, spMinor});
        if (productAnswer == ProductQuery::Answered) type = productType;
        return productAnswer;
    }
    ResultCode GetBasicInformation(BasicSystemData& out) noexcept override {
        if (Succeeded(basicCode)) out = basic;
        return basicCode;
    }

    OsVersionData version{6, 1, 7601, L"Service Pack 1", 1, 0, 0x0100, 1};
    ResultCode versionCode = rc::Ok;
    std::optional<std::uint16_t> architecture = 9;  // empty: the query does not exist
    ResultCode architectureCode = rc::Ok;
    ProductQuery productAnswer = ProductQuery::Unavailable;
    std::uint32_t productType = 0;
    BasicSystemData basic{4, 4096, 65536};
    ResultCode basicCode = rc::Ok;

    int versionCalls = 0;
    std::vector<std::array<std::uint32_t, 4>> productQueries;
};

}  // namespace qor::test

namespace qor {
namespace {

constexpr std::uint8_t kWs = 1;      // workstation
constexpr std::uint8_t kServer = 3;  // server
constexpr std::uint16_t kX86 = 0, kIa64 = 6, kAmd64 = 9;
#define MSW L"Microsoft(R) Windows(R)"  // the common start of every name

struct NameRow {  // `expected`: the name before the version part
    std::uint32_t major, minor; std::uint8_t productType; std::uint16_t suite, architecture;
    const wchar_t* expected;
};

// Runs the naming with build 1234 and no service pack.
std::wstring NameOf(const NameRow& row, test::FakeOsInfoSource& source) {
    source.version = {row.major, row.minor, 1234, L"", 0, 0, row.suite, row.productType};
    source.architecture = row.architecture;
    std::wstring name = L"untouched";
    EXPECT_EQ(BuildOsDisplayName(source, name), rc::Ok);
    return name;
}

std::wstring VersionPart(const NameRow& row) {
    return L", " + std::to_wstring(row.major) + L"." + std::to_wstring(row.minor) +
           L".1234  Build 1234";
}

// The names Wine's versions give are checked end to end (test_os_naming.py).
TEST(BuildOsDisplayName, DecisionTable) {
    const NameRow rows[] = {
        {5, 0, kWs, 0x0000, kX86, MSW L" 2000"},
        {5, 0, kWs, 0x0200, kX86, MSW L" 2000 Professional"},
        {5, 0, kServer, 0x0082, kX86, MSW L" 2000 Datacenter Server"},
        {5, 0, kServer, 0x0002, kX86, MSW L" 2000 Advanced Server"},
        {5, 0, kServer, 0x0200, kX86, MSW L" 2000 Server"},
        {5, 1, kWs, 0x0300, kX86, MSW L" XP Home Edition"},
        {5, 1, kWs, 0x0100, kAmd64, MSW L" XP Professional"},
        {5, 1, kServer, 0x0000, kX86, L""},
        {5, 2, kServer, 0x2000, kX86, MSW L" Storage Server 2003 Standard Edition"},
        {5, 2, kWs, 0x2000, kAmd64, MSW L" Storage Server 2003"},
        {5, 2, kServer, 0x2002, kX86, MSW L" Server 2003 Enterprise Edition"},
        {5, 2, kWs, 0x0080, kX86, MSW L" Server 2003"},
        {5, 2, kServer, 0x0082, kIa64, MSW L" Server 2003 Datacenter Edition for Itanium-based Systems"},
        {5, 2, kServer, 0x0002, kIa64, MSW L" Server 2003 Enterprise Edition for Itanium-based Systems"},
        {5, 2, kServer, 0x4400, kIa64, MSW L" Server 2003"},
        {5, 2, kServer, 0x0082, kAmd64, MSW L" Server 2003 Datacenter x64 Edition"},
        {5, 2, kServer, 0x0002, kAmd64, MSW L" Server 2003 Enterprise x64 Edition"},
        {5, 2, kServer, 0x0000, kAmd64, MSW L" Server 2003 Standard x64 Edition"},
        {5, 2, kServer, 0x4082, kX86, MSW L" Server 2003 Compute Cluster Edition"},
        {5, 2, kServer, 0x0482, kX86, MSW L" Server 2003 Datacenter Edition"},
        {5, 2, kServer, 0x0402, kX86, MSW L" Server 2003 Enterprise Edition"},
        {5, 2, kServer, 0x0400, kX86, MSW L" Server 2003 Web Edition"},
        {5, 2, 2, 0x0010, kX86, MSW L" Server 2003 Standard Edition"},
        {6, 1, kWs, 0, kX86, MSW L" 7 (32-bit)"},
        {6, 2, kWs, 0, kIa64, MSW L" 8 (64-bit Itanium)"},
        {6, 2, kServer, 0, kX86, MSW L" Server 2012 (32-bit)"},
        {6, 3, kServer, 0, kAmd64, MSW L" Server 2012 R2 (64-bit)"},
        {4, 0, kWs, 0, kX86, MSW},
        {5, 3, kWs, 0, kX86, MSW},
        {6, 4, kWs, 0, kAmd64, MSW},
        {7, 0, kWs, 0, kAmd64, MSW},
    };
    for (const NameRow& row : rows) {
        test::FakeOsInfoSource source;
        EXPECT_EQ(NameOf(row, source), row.expected + VersionPart(row))
            << row.major << "." << row.minor << " type " << int{row.productType} << " suite "
            << row.suite << " arch " << row.architecture;
        EXPECT_TRUE(source.productQueries.empty());
    }
}

// One table lookup: its ends, the first product beyond it and a few others (Ultimate is
// test_os_naming.py's).
TEST(BuildOsDisplayName, VistaAsksForTheProductOf60) {
    const struct {
        std::uint8_t productType; std::uint16_t architecture; std::uint32_t product; const wchar_t* expected;
    } rows[] = {
        {kWs, kX86, 3, MSW L" Vista Home Premium Edition (32-bit)"},
        {kServer, kIa64, 15, MSW L" Server 2008 Server Enterprise Edition "
                             L"for Itanium-based Systems (64-bit Itanium)"},
        {kServer, kAmd64, 29, MSW L" Server 2008 Web Server Edition - core (64-bit)"},
        {kWs, kX86, 0, MSW L" Vista (32-bit)"},
        {kWs, kX86, 30, MSW L" Vista (32-bit)"},
        {kServer, kX86, 0xFFFFFFFF, MSW L" Server 2008 (32-bit)"},
    };
    for (const auto& row : rows) {
        test::FakeOsInfoSource source;
        source.productAnswer = ProductQuery::Answered;
        source.productType = row.product;
        const NameRow name{6, 0, row.productType, 0, row.architecture, row.expected};
        EXPECT_EQ(NameOf(name, source), row.expected + VersionPart(name)) << row.product;
        ASSERT_EQ(source.productQueries.size(), 1u);
        EXPECT_EQ(source.productQueries[0], (std::array<std::uint32_t, 4>{6, 0, 0, 0}));
    }
}

TEST(BuildOsDisplayName, VersionPartCarriesTheServicePackText) {
    test::FakeOsInfoSource source;
    source.architecture.reset();  // no native query: x86
    source.version = {5, 1, 2600, L"Service Pack 3", 3, 0, 0x0200, kWs};
    std::wstring name;
    ASSERT_EQ(BuildOsDisplayName(source, name), rc::Ok);
    EXPECT_EQ(name, MSW L" XP Home Edition, 5.1.2600 Service Pack 3 Build 2600");
    source.version = {6, 0, 6002, L"Service Pack 2", 2, 0, 0, kWs};  // Vista without product info
    ASSERT_EQ(BuildOsDisplayName(source, name), rc::Ok);
    EXPECT_EQ(name, MSW L", 6.0.6002 Service Pack 2 Build 6002");
}

TEST(FillOsVersionRecord, CopiesTheAnswersOnce) {
    test::FakeOsInfoSource source;
    source.version = {6, 1, 7601, L"Service Pack 1", 1, 2, 0x0112, 1};
    source.basic = {-128, 4096, 65536};
    OsVersionRecord r;
    ASSERT_EQ(FillOsVersionRecord(source, r), rc::Ok);
    // What the end-to-end tests (test_os_naming.py) cannot see; never a negative count.
    EXPECT_EQ(std::tuple(r.suiteMask, r.servicePackMinor, r.numberOfProcessors),
              std::tuple(0x0112u, 2, 128u));

    // A second fill asks nothing and changes nothing, even when the system would now fail.
    const int calls = source.versionCalls;
    source.versionCode = rc::OutOfMemory;
    source.version.major = 10;
    EXPECT_EQ(FillOsVersionRecord(source, r), rc::Ok);
    EXPECT_EQ(source.versionCalls, calls);
    EXPECT_EQ(r.majorVersion, 6u);
}

TEST(FillOsVersionRecord, AnyFailureLeavesTheNameAndTheRecordAlone) {
    const ResultCode failure = static_cast<ResultCode>(0xE0010052);
    test::FakeOsInfoSource basic, version, architecture, product;
    basic.basicCode = failure;
    version.versionCode = rc::BufferTooSmall;
    architecture.architectureCode = failure;
    product.version = {6, 0, 6002, L"Service Pack 2", 2, 0, 0, kWs};
    product.productAnswer = ProductQuery::Refused;
    for (auto [source, expected] : {std::pair{&basic, failure}, {&version, rc::BufferTooSmall},
                                    {&architecture, failure}, {&product, SuiteError(0x20)}}) {
        SCOPED_TRACE(expected);
        std::wstring name = L"untouched";
        if (source != &basic) {
            EXPECT_EQ(BuildOsDisplayName(*source, name), expected);
        }
        EXPECT_EQ(name, L"untouched");
        OsVersionRecord record;
        EXPECT_EQ(FillOsVersionRecord(*source, record), expected);
        EXPECT_FALSE(record.filled);
        EXPECT_TRUE(record.displayName.empty());
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

TEST(OsVersionRecord, Predicates) {
    using enum ProcessorClass;
    // `expected`: xp, xp or later, 2003 family, vista or later, 8 or later, 64-bit.
    const struct {
        std::uint32_t major, minor; ProcessorClass processor; std::uint8_t productType; const char* expected;
    } rows[] = {
        {5, 0, X86, 1, "000000"},   {5, 0, X86, 3, "000000"},   {5, 1, X86, 1, "110000"},
        {5, 1, Ia64, 3, "110001"},  {5, 1, Amd64, 1, "010001"}, {5, 2, Amd64, 1, "110001"},
        {5, 2, Amd64, 3, "011001"}, {5, 2, X86, 1, "010000"},   {5, 2, Ia64, 2, "011001"},
        {5, 3, X86, 3, "011000"},   {6, 0, X86, 1, "010100"},   {6, 1, Amd64, 3, "010101"},
        {6, 2, X86, 1, "010110"},   {6, 3, Ia64, 1, "010111"},  {10, 0, Amd64, 1, "010111"},
        {4, 9, X86, 3, "000000"},
    };
    for (const auto& row : rows) {
        OsVersionRecord record{.majorVersion = row.major, .minorVersion = row.minor,
                               .processorClass = row.processor, .productType = row.productType,
                               .displayName = {}};
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
