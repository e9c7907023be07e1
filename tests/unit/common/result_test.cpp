#include "common/result.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

constexpr ResultCode Code(std::uint32_t bits) { return static_cast<ResultCode>(bits); }

TEST(ResultFromWin32, MapsTableRowsAndPassesOthersThrough) {
    EXPECT_EQ(ResultFromWin32(0), 0);
    EXPECT_EQ(ResultFromWin32(2), Code(0xE001003D));
    EXPECT_EQ(ResultFromWin32(126), Code(0xE001003E));  // missing module reads as missing path
    EXPECT_EQ(ResultFromWin32(80), Code(0xE001004F));   // existing file as existing object
    EXPECT_EQ(ResultFromWin32(1), Code(0xE0010056));
    EXPECT_EQ(ResultFromWin32(87), Code(0xE0010002));
    EXPECT_EQ(ResultFromWin32(14), Code(0xE0010001));
    EXPECT_EQ(ResultFromWin32(10061), Code(0xE0010190));
    EXPECT_EQ(ResultFromWin32(112), Code(0xE0010097));
    EXPECT_EQ(ResultFromWin32(1234), Code(0xC00704D2));
    EXPECT_EQ(ResultFromWin32(0x12345678), Code(0xC0075678));  // only the low 16 bits
}

TEST(MakeResultCode, PlacesSeverityAndFacility) {
    EXPECT_EQ(MakeResultCode(3, 5), Code(0xE0010058));
    EXPECT_EQ(MakeResultCode(1, 2), Code(0x6001003D));
    EXPECT_EQ(MakeResultCode(3, 1234), Code(0xC00704D2));
    EXPECT_EQ(MakeResultCode(0, 1234), Code(0x000704D2));
    EXPECT_EQ(MakeResultCode(2, 4317), Code(0xA0010055));
}

std::uint32_t FakeNtToWin32(std::uint32_t status) {
    switch (status) {
        case 0xC0000034: return 2;     // object name not found
        case 0x80000006: return 18;    // no more files
        case 0x00000103: return 997;   // pending
        default: return 317;
    }
}

TEST(ResultFromNtStatus, BufferOverflowIsBufferTooSmall) {
    EXPECT_EQ(ResultFromNtStatusWith(0, FakeNtToWin32), 0);
    EXPECT_EQ(ResultFromNtStatusWith(0x80000005, FakeNtToWin32), rc::BufferTooSmall);
}

TEST(ResultFromNtStatus, SeverityComesFromTheStatusTopBits) {
    EXPECT_EQ(ResultFromNtStatusWith(0xC0000034, FakeNtToWin32), Code(0xE001003D));
    EXPECT_EQ(ResultFromNtStatusWith(0x80000006, FakeNtToWin32), Code(0xA0010046));
    // A success status with a value gives information severity, not a failure.
    const ResultCode pending = ResultFromNtStatusWith(0x103, FakeNtToWin32);
    EXPECT_EQ(pending, Code(0x400703E5));
    EXPECT_TRUE(Succeeded(pending));
}

}  // namespace
}  // namespace qor
