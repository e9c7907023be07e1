#include "platform/os_display_name.h"

#include <gtest/gtest.h>

#include "fakes/fake_os_info_source.h"

namespace qor {
namespace {

constexpr std::uint8_t kWs = 1;      // workstation
constexpr std::uint8_t kServer = 3;  // server
constexpr std::uint16_t kX86 = 0, kIa64 = 6, kAmd64 = 9;
#define MSW L"Microsoft(R) Windows(R)"  // the common start of every name

struct NameRow {
    std::uint32_t major, minor;
    std::uint8_t productType;
    std::uint16_t suite;
    std::uint16_t architecture;
    const wchar_t* expected;  // the name before the version part
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
        {5, 2, kWs, 0x0000, kAmd64, MSW L" XP Professional x64 Edition"},
        {5, 2, kWs, 0x0080, kX86, MSW L" Server 2003"},
        {5, 2, kServer, 0x0082, kIa64,
         MSW L" Server 2003 Datacenter Edition for Itanium-based Systems"},
        {5, 2, kServer, 0x0002, kIa64,
         MSW L" Server 2003 Enterprise Edition for Itanium-based Systems"},
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
        {6, 1, kServer, 0, kAmd64, MSW L" Server 2008 R2 (64-bit)"},
        {6, 2, kWs, 0, kIa64, MSW L" 8 (64-bit Itanium)"},
        {6, 2, kServer, 0, kX86, MSW L" Server 2012 (32-bit)"},
        {6, 3, kWs, 0, kAmd64, MSW L" 8.1 (64-bit)"},
        {6, 3, kServer, 0, kAmd64, MSW L" Server 2012 R2 (64-bit)"},
        {4, 0, kWs, 0, kX86, MSW},
        {5, 3, kWs, 0, kX86, MSW},
        {6, 4, kWs, 0, kAmd64, MSW},
        {7, 0, kWs, 0, kAmd64, MSW},
        {10, 0, kWs, 0x0100, kAmd64, MSW},
    };
    for (const NameRow& row : rows) {
        test::FakeOsInfoSource source;
        EXPECT_EQ(NameOf(row, source), row.expected + VersionPart(row))
            << row.major << "." << row.minor << " type " << int{row.productType} << " suite "
            << row.suite << " arch " << row.architecture;
        EXPECT_TRUE(source.productQueries.empty());
    }
}

TEST(BuildOsDisplayName, VistaAsksForTheProductOf60) {
    struct Row {
        std::uint8_t productType;
        std::uint16_t architecture;
        std::uint32_t product;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {kWs, kX86, 3, MSW L" Vista Home Premium Edition (32-bit)"},
        {kWs, kAmd64, 28, MSW L" Vista Ultimate Edition (64-bit)"},
        {kWs, kX86, 27, MSW L" Vista Enterprise Edition (32-bit)"},
        {kWs, kX86, 26, MSW L" Vista Home Premium Edition (32-bit)"},
        {kServer, kIa64, 15, MSW L" Server 2008 Server Enterprise Edition "
                             L"for Itanium-based Systems (64-bit Itanium)"},
        {kServer, kAmd64, 25,
         MSW L" Server 2008 Small Business Server Premium Edition (64-bit)"},
        {kServer, kAmd64, 29, MSW L" Server 2008 Web Server Edition - core (64-bit)"},
        {kWs, kX86, 0, MSW L" Vista (32-bit)"},
        {kWs, kX86, 30, MSW L" Vista (32-bit)"},
        {kServer, kX86, 0xFFFFFFFF, MSW L" Server 2008 (32-bit)"},
    };
    for (const Row& row : rows) {
        test::FakeOsInfoSource source;
        source.productAnswer = ProductQuery::Answered;
        source.productType = row.product;
        const NameRow name{6, 0, row.productType, 0, row.architecture, row.expected};
        EXPECT_EQ(NameOf(name, source), row.expected + VersionPart(name)) << row.product;
        ASSERT_EQ(source.productQueries.size(), 1u);
        EXPECT_EQ(source.productQueries[0], (std::array<std::uint32_t, 4>{6, 0, 0, 0}));
    }
}

TEST(BuildOsDisplayName, VistaWithoutProductInfoGetsTheGenericName) {
    test::FakeOsInfoSource source;
    const NameRow row{6, 0, kWs, 0, kAmd64, MSW};
    EXPECT_EQ(NameOf(row, source), row.expected + VersionPart(row));
}

TEST(BuildOsDisplayName, VersionPartCarriesTheServicePackText) {
    test::FakeOsInfoSource source;  // 64-bit Windows 7 SP1
    std::wstring name;
    ASSERT_EQ(BuildOsDisplayName(source, name), rc::Ok);
    EXPECT_EQ(name, MSW L" 7 (64-bit), 6.1.7601 Service Pack 1 Build 7601");

    source.architecture.reset();  // no native query: x86
    source.version = {5, 1, 2600, L"Service Pack 3", 3, 0, 0x0200, kWs};
    ASSERT_EQ(BuildOsDisplayName(source, name), rc::Ok);
    EXPECT_EQ(name, MSW L" XP Home Edition, 5.1.2600 Service Pack 3 Build 2600");
}

TEST(BuildOsDisplayName, FailuresLeaveTheOutputAlone) {
    const ResultCode failure = static_cast<ResultCode>(0xE0010052);
    test::FakeOsInfoSource version, architecture, product;
    version.versionCode = rc::BufferTooSmall;
    architecture.architectureCode = failure;
    product.version = {6, 0, 6002, L"Service Pack 2", 2, 0, 0, kWs};
    product.productAnswer = ProductQuery::Refused;

    std::wstring name = L"untouched";
    EXPECT_EQ(BuildOsDisplayName(version, name), rc::BufferTooSmall);
    EXPECT_EQ(BuildOsDisplayName(architecture, name), failure);
    EXPECT_EQ(BuildOsDisplayName(product, name), static_cast<ResultCode>(0xE0010020));
    EXPECT_EQ(name, L"untouched");
}

}  // namespace
}  // namespace qor
