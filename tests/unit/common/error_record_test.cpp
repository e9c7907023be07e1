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
    EXPECT_EQ(empty.Code(), 0);
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
        EXPECT_TRUE(e.Values().empty());
        EXPECT_EQ(e.Inner(), nullptr);
    }
}

}  // namespace
}  // namespace qor
