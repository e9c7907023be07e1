#include "common/error_record.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

TEST(QorException, CopyIsDeepAndKeepsValueOrder) {
    QorException inner(rc::FileNotFound);
    inner.AddValue(L"%NAME%", L"inner");
    QorException outer(rc::ArgumentMissing);
    outer.SetMessage(L"msg");
    outer.AddValue(L"%B%", L"2");
    outer.AddValue(L"%A%", L"1");
    outer.SetInner(inner);

    QorException copy(outer);
    outer.AddValue(L"%C%", L"3");
    outer.SetInner(QorException(rc::OutOfMemory));

    ASSERT_EQ(copy.Values().size(), 2u);
    EXPECT_EQ(copy.Values()[0].first, L"%B%");
    EXPECT_EQ(copy.Values()[1].first, L"%A%");
    EXPECT_EQ(copy.Message(), L"msg");
    ASSERT_NE(copy.Inner(), nullptr);
    EXPECT_NE(copy.Inner(), outer.Inner());
    EXPECT_EQ(copy.Inner()->Code(), rc::FileNotFound);
    EXPECT_EQ(copy.Inner()->Values()[0].second, L"inner");
}

// Deep enough that a recursive copy or destructor would exhaust the stack.
TEST(QorException, LongChainCopiesAndDestroysWithoutRecursion) {
    constexpr int kDepth = 300000;
    QorException chain(0);
    for (int i = 1; i < kDepth; ++i) {
        QorException outer(i);
        outer.SetInner(std::move(chain));
        chain = std::move(outer);
    }
    const QorException copy(chain);
    int depth = 1;
    const QorException* last = &copy;
    while (last->Inner()) {
        last = last->Inner();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(last->Code(), 0);
}

TEST(Result, EmptyMeansSuccessAndCopiesShareTheRecord) {
    const Result empty(0);
    EXPECT_EQ(empty.Record(), nullptr);
    EXPECT_TRUE(empty.IsSucceeded());

    const Result info(static_cast<ResultCode>(0x60010064));
    EXPECT_NE(info.Record(), nullptr);
    EXPECT_FALSE(info.IsFailed());

    const Result failure(rc::NotSupported);
    const Result shared = failure;
    EXPECT_TRUE(shared.IsFailed());
    EXPECT_EQ(shared.Record(), failure.Record());
}

TEST(Result, FromRecordTakesACopy) {
    QorException record(rc::PathNotFound);
    const Result result(record);
    record.AddValue(L"%X%", L"later");
    EXPECT_TRUE(result.Record()->Values().empty());
}

TEST(ThrowIfFailed, ThrowsOnlyForNegativeCodes) {
    EXPECT_NO_THROW(ThrowIfFailed(0));
    EXPECT_NO_THROW(ThrowIfFailed(0x60010064));
    try {
        ThrowIfFailed(rc::OutOfMemory);
        FAIL() << "no throw";
    } catch (const QorException& e) {
        EXPECT_EQ(e.Code(), rc::OutOfMemory);
    }
}

constexpr ResultCode Code(std::uint32_t bits) { return static_cast<ResultCode>(bits); }

// A few table rows: the others take the same lookup.
TEST(ResultFromWin32, MapsTableRowsAndPassesOthersThrough) {
    EXPECT_EQ(ResultFromWin32(0), 0);
    EXPECT_EQ(ResultFromWin32(2), Code(0xE001003D));
    EXPECT_EQ(ResultFromWin32(126), Code(0xE001003E));  // missing module reads as missing path
    EXPECT_EQ(ResultFromWin32(80), Code(0xE001004F));   // existing file as existing object
    EXPECT_EQ(ResultFromWin32(10061), Code(0xE0010190));
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

// Buffer overflow is "buffer too small"; the severity comes from the status's top bits.
TEST(ResultFromNtStatus, SeverityComesFromTheStatusTopBits) {
    EXPECT_EQ(ResultFromNtStatusWith(0, FakeNtToWin32), 0);
    EXPECT_EQ(ResultFromNtStatusWith(0x80000005, FakeNtToWin32), rc::BufferTooSmall);
    EXPECT_EQ(ResultFromNtStatusWith(0xC0000034, FakeNtToWin32), Code(0xE001003D));
    EXPECT_EQ(ResultFromNtStatusWith(0x80000006, FakeNtToWin32), Code(0xA0010046));
    // A success status with a value gives information severity, not a failure.
    EXPECT_EQ(ResultFromNtStatusWith(0x103, FakeNtToWin32), Code(0x400703E5));
}

}  // namespace
}  // namespace qor
