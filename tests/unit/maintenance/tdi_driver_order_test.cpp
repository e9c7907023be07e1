#include "maintenance/tdi_driver_order.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_driver_registry.h"
#include "maintenance/tdi_tag_list.h"

namespace qor {
namespace {

using Value = test::FakeDriverRegistry::Value;

OsVersionRecord Os(ProcessorClass processor, std::uint32_t major, std::uint32_t minor) {
    return {.filled = true, .majorVersion = major, .minorVersion = minor, .processorClass = processor,
            .productType = 1, .displayName = {}};
}

std::vector<std::uint8_t> Le32s(const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t w : words)
        for (int s = 0; s < 32; s += 8) bytes.push_back(static_cast<std::uint8_t>(w >> s));
    return bytes;
}

class TdiOrderTest : public ::testing::Test {
protected:
    static std::wstring Key(const std::wstring& service) { return std::wstring(kServicesKey) + L"\\" + service; }
    void Install(const std::wstring& service, std::optional<std::uint32_t> tag,
                 const std::wstring& group = kTdiGroup) {
        registry.AddKey(Key(service));
        if (tag) registry.SetValue(Key(service), L"Tag", Value{reg_type::Dword, Le32s({*tag}), {}});
        if (!group.empty()) registry.SetValue(Key(service), L"Group", Value{reg_type::String, {}, group});
    }
    // The stored count (the true one unless given) followed by the tags.
    void SetList(const std::vector<std::uint32_t>& tags, std::optional<std::uint32_t> count = {}) {
        std::vector<std::uint32_t> words{count.value_or(static_cast<std::uint32_t>(tags.size()))};
        words.insert(words.end(), tags.begin(), tags.end());
        registry.SetValue(kGroupOrderListKey, kTdiGroup, Value{reg_type::Binary, Le32s(words), {}});
    }
    std::vector<std::uint32_t> List() const {
        const Value* value = registry.Find(kGroupOrderListKey, kTdiGroup);
        std::vector<std::uint32_t> words(value->data.size() / 4);  // little-endian like the system
        std::memcpy(words.data(), value->data.data(), words.size() * 4);
        EXPECT_EQ(words.at(0), words.size() - 1) << "count and size disagree";
        return {words.begin() + 1, words.end()};
    }
    std::uint32_t TagOf(const std::wstring& service) const {
        std::uint32_t tag = 0;
        EXPECT_EQ(DecodeRegistryDword(reg_type::Dword, registry.Find(Key(service), L"Tag")->data, tag), 0);
        return tag;
    }
    ResultCode Order() { return OrderTdiDrivers(registry, os, changed); }

    test::FakeDriverRegistry registry;
    OsVersionRecord os = Os(ProcessorClass::X86, 5, 1);
    bool changed = true;
};

// The drivers pulled in front of the anchor are checked end to end (test_inf_repair.py).
TEST_F(TdiOrderTest, ListAlreadyInOrderIsNotWritten) {
    for (auto [name, tag] : {std::pair{L"Tcpip", 3u}, {L"Tcpip6", 8u}, {L"QorFwFd", 88u},
                             {L"QorTdiX", 86u}, {L"NetBT", 87u}})
        Install(name, tag);
    SetList({3, 8, 88, 86, 87});
    ASSERT_EQ(Order(), 0);
    EXPECT_FALSE(changed);
    EXPECT_EQ(registry.writes, 0);
}

TEST_F(TdiOrderTest, ServicesWithoutTagGetTheirFixedTagOrANewOne) {
    Install(L"Tcpip", 3);
    Install(L"Tcpip6", std::nullopt);   // fixed tag 8, free
    Install(L"QorFwFd", std::nullopt);  // fixed tag 88, already taken by another driver
    Install(L"NMRoam", std::nullopt);   // no fixed tag
    Install(L"NetBT", 87);
    SetList({3, 88, 120, 87});
    ASSERT_EQ(Order(), 0);
    EXPECT_EQ(TagOf(L"Tcpip6"), 8u);
    EXPECT_EQ(TagOf(L"QorFwFd"), 121u);
    EXPECT_EQ(TagOf(L"NMRoam"), 122u);
    EXPECT_EQ(List(), (std::vector<std::uint32_t>{3, 88, 120, 8, 121, 122, 87}));

    // A new tag is at least 90, also in an empty list.
    registry = {};
    Install(L"NMDRV", std::nullopt);
    SetList({});
    ASSERT_EQ(Order(), 0);
    EXPECT_EQ(TagOf(L"NMDRV"), 90u);
    EXPECT_EQ(List(), (std::vector<std::uint32_t>{90}));
}

// A fixed tag goes to the service before the list names it, so the list never holds a tag
// that no driver has.
TEST_F(TdiOrderTest, AFixedTagIsWrittenToTheServiceBeforeTheList) {
    Install(L"Tcpip", 3);
    Install(L"Tcpip6", std::nullopt);  // fixed tag 8, free
    Install(L"NetBT", 87);
    SetList({3, 87});
    ASSERT_EQ(Order(), 0);
    ASSERT_GE(registry.written.size(), 2u);
    EXPECT_EQ(registry.written[0], Key(L"Tcpip6") + L"\\Tag");
    EXPECT_EQ(registry.written[1], std::wstring(kGroupOrderListKey) + L"\\" + kTdiGroup);
}

TEST_F(TdiOrderTest, ListIsReadByItsSizeAndWrittenWithItsTrueCount) {
    for (auto [name, tag] : {std::pair{L"Tcpip", 3u}, {L"QorTdiX", 86u}, {L"NetBT", 87u}}) Install(name, tag);
    for (const std::uint32_t count : {1u, 9u, 0xFFFFFFFFu}) {
        SetList({3, 87, 86}, count);
        ASSERT_EQ(Order(), 0) << count;
        EXPECT_EQ(List(), (std::vector<std::uint32_t>{3, 86, 87})) << count;
    }
    // Too short for a single tag, or not a whole number of tags.
    for (std::vector<std::uint8_t> data : {std::vector<std::uint8_t>{}, {1, 0, 0},
                                           {2, 0, 0, 0, 3, 0, 0, 0, 86}}) {
        registry.SetValue(kGroupOrderListKey, kTdiGroup, Value{reg_type::Binary, data, {}});
        ASSERT_EQ(Order(), 0);
        EXPECT_EQ(List(), (std::vector<std::uint32_t>{3, 86, 87})) << data.size();
    }
}

TEST_F(TdiOrderTest, WithoutAnchorEachTdiDriverFollowsThePreviousOne) {
    Install(L"Tcpip", 3);
    Install(L"Tcpip6", 8, L"");          // joins the group
    Install(L"QorFwFd", 88, L"Other");   // another group: left alone
    Install(L"QorTdiX", 86);             // its predecessor is not in the group
    SetList({86, 8, 88, 3});
    ASSERT_EQ(Order(), 0);
    EXPECT_EQ(List(), (std::vector<std::uint32_t>{86, 88, 3, 8}));
    EXPECT_EQ(registry.Find(Key(L"Tcpip6"), L"Group")->text, kTdiGroup);
    EXPECT_EQ(registry.Find(Key(L"QorFwFd"), L"Group")->text, L"Other");
}

TEST_F(TdiOrderTest, BadValuesEndTheStepWithoutWritingTheList) {
    Install(L"Tcpip", 3);
    Install(L"NetBT", 87);
    struct Case { const char* what; Value list; Value tag; ResultCode expected; } cases[] = {
        {"list of another type", {reg_type::Dword, Le32s({1}), {}}, {reg_type::Dword, Le32s({3}), {}},
         rc::RegistryWrongType},
        {"tag of another type", {reg_type::Binary, Le32s({1, 87}), {}}, {reg_type::String, {}, L"3"},
         rc::RegistryWrongType},
        {"tag of another size", {reg_type::Binary, Le32s({1, 87}), {}}, {reg_type::Dword, {3, 0}, {}},
         rc::BadLength},
    };
    for (const Case& c : cases) {
        registry.SetValue(kGroupOrderListKey, kTdiGroup, c.list);
        registry.SetValue(Key(L"Tcpip"), L"Tag", c.tag);
        EXPECT_EQ(Order(), c.expected) << c.what;
        EXPECT_EQ(registry.writes, 0) << c.what;
        EXPECT_FALSE(changed) << c.what;
    }
    // A new tag would not fit in 32 bits.
    registry = {};
    Install(L"NMDRV", std::nullopt);
    SetList({0xFFFFFFFF});
    EXPECT_EQ(Order(), kDriverOrderInvalidData);
    EXPECT_EQ(registry.writes, 0);
}

TEST_F(TdiOrderTest, MissingDriversAndFailedOpensOrWrites) {
    SetList({3});
    EXPECT_EQ(Order(), rc::FileNotFound);  // none of the table installed

    Install(L"Tcpip", std::nullopt);
    registry.writeResult = SuiteError(0x58);
    EXPECT_EQ(Order(), SuiteError(0x58));
    EXPECT_FALSE(changed);

    registry.writeResult = rc::Ok;
    registry.openResult = SuiteError(0x58);
    EXPECT_EQ(Order(), SuiteError(0x58));
}

// The tables of XP and Server 2003, x86 and x64, order the drivers in test_inf_repair.py.
TEST(DriverOrderTable, ChosenByProcessorAndVersion) {
    struct Case { OsVersionRecord os; std::size_t rows; const wchar_t *third, *fourth; } cases[] = {
        {Os(ProcessorClass::Amd64, 6, 0), 10, L"QorFwFd", L"tdx"},
        {Os(ProcessorClass::X86, 6, 2), 10, L"QorWfpX", L"QorFwFd"},
        {Os(ProcessorClass::Amd64, 10, 0), 10, L"QorWfpA", L"QorFwFd"},
        {OsVersionRecord{}, 9, L"QorFwFd", L"QorTdiX"},
    };
    for (const Case& c : cases) {
        std::span<const DriverOrderRow> table;
        ASSERT_EQ(SelectDriverOrderTable(c.os, table), 0);
        ASSERT_EQ(table.size(), c.rows);
        EXPECT_STREQ(table[2].service, c.third);
        EXPECT_STREQ(table[3].service, c.fourth);
        EXPECT_STREQ(table.back().service, L"NetBT");
        EXPECT_TRUE(table.back().anchor);
    }
    std::span<const DriverOrderRow> table;
    EXPECT_EQ(SelectDriverOrderTable(Os(ProcessorClass::Ia64, 5, 2), table), SuiteError(0x45));
}

}  // namespace
}  // namespace qor
