#include "platform/registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace qor {
namespace {

std::vector<std::uint8_t> Utf16Le(std::initializer_list<char16_t> units) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::wstring Decoded(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    std::wstring out = L"untouched";
    EXPECT_EQ(DecodeRegistryString(type, data, out), rc::Ok);
    return out;
}

TEST(DecodeRegistryString, StopsAtTheTerminatorOrTheEndAndKeepsSurrogatePairs) {
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({u'a', u'b', 0, u'c', 0})), L"ab");
    EXPECT_EQ(Decoded(reg_type::ExpandString, Utf16Le({u'%', u'X', u'%', 0})), L"%X%");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({u'a', u'b', u'c'})), L"abc");  // unterminated
    auto odd = Utf16Le({u'a', u'b'});
    odd.push_back(0x63);  // a stray last byte
    EXPECT_EQ(Decoded(reg_type::String, odd), L"ab");
    EXPECT_EQ(Decoded(reg_type::String, {}), L"");
    EXPECT_EQ(Decoded(reg_type::String, {0x41}), L"");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({0x00E9, 0x20AC, 0})), L"\u00E9\u20AC");
    EXPECT_EQ(Decoded(reg_type::String, Utf16Le({0xD83D, 0xDE00, u'x', 0})), L"\U0001F600x");
    const std::wstring lone = Decoded(reg_type::String, Utf16Le({0xD83D, u'x'}));
    ASSERT_EQ(lone.size(), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(lone[0]), 0xD83Du);
}

TEST(DecodeRegistryString, RefusesOtherTypesAndLeavesTheOutputAlone) {
    const auto text = Utf16Le({u'a', 0});
    for (const std::uint32_t type : {0u, reg_type::Binary, reg_type::Dword, 7u, 0x12345678u}) {
        std::wstring out = L"untouched";
        EXPECT_EQ(DecodeRegistryString(type, text, out), rc::RegistryWrongType) << type;
        EXPECT_EQ(out, L"untouched");
    }
}

TEST(DecodeRegistryDword, ReadsBothByteOrders) {
    const std::vector<std::uint8_t> bytes{0x12, 0x34, 0x56, 0x78};
    std::uint32_t out = 0;
    ASSERT_EQ(DecodeRegistryDword(reg_type::Dword, bytes, out), rc::Ok);
    EXPECT_EQ(out, 0x78563412u);
    ASSERT_EQ(DecodeRegistryDword(reg_type::DwordBigEndian, bytes, out), rc::Ok);
    EXPECT_EQ(out, 0x12345678u);
}

TEST(DecodeRegistryDword, ChecksTypeBeforeLengthAndLeavesTheOutputAlone) {
    const std::vector<std::uint8_t> four{1, 2, 3, 4};
    std::uint32_t out = 0xCAFEu;
    EXPECT_EQ(DecodeRegistryDword(reg_type::String, four, out), rc::RegistryWrongType);
    EXPECT_EQ(DecodeRegistryDword(reg_type::Binary, {}, out), rc::RegistryWrongType);
    EXPECT_EQ(DecodeRegistryDword(11, std::vector<std::uint8_t>(8), out), rc::RegistryWrongType);
    for (const std::size_t size : {0u, 3u, 5u, 8u}) {
        const std::vector<std::uint8_t> data(size, 0xFF);
        EXPECT_EQ(DecodeRegistryDword(reg_type::Dword, data, out), rc::BadLength) << size;
        EXPECT_EQ(DecodeRegistryDword(reg_type::DwordBigEndian, data, out), rc::BadLength);
    }
    EXPECT_EQ(out, 0xCAFEu);
}

TEST(KeyOpenResult, TurnsMissingKeysIntoOneCode) {
    EXPECT_EQ(KeyOpenResult(rc::FileNotFound), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(rc::PathNotFound), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(static_cast<ResultCode>(0xC00700A1u)), rc::RegistryKeyNotFound);
    EXPECT_EQ(KeyOpenResult(SuiteError(0x58)), SuiteError(0x58));  // access denied stays
    EXPECT_EQ(KeyOpenResult(rc::Ok), rc::Ok);
}

TEST(Wow32MachinePath, MovesSoftwareKeysUnderWow6432Node) {
    EXPECT_EQ(Wow32MachinePath(L"SOFTWARE\\Qor\\Fw"), L"SOFTWARE\\Wow6432Node\\Qor\\Fw");
    EXPECT_EQ(Wow32MachinePath(L"Software"), L"Software\\Wow6432Node");
    for (const wchar_t* same : {L"SOFTWARE\\wow6432node\\Qor", L"software\\Classes\\.txt",
                                L"SYSTEM\\CurrentControlSet", L"SOFTWAREX\\Qor", L""}) {
        EXPECT_EQ(Wow32MachinePath(same), same);
    }
}

}  // namespace
}  // namespace qor
