#include "frontend/hw_exception.h"

#include <typeinfo>

#include <gtest/gtest.h>

namespace qor {
namespace {

// The class the translator threw, its kind and what it carries; "none" when it returned.
struct Thrown {
    const std::type_info* type = nullptr;
    std::uint32_t kind = 0;
    std::uint32_t code = 0;
    void* pointers = nullptr;
    std::uintptr_t dataAddress = 0;
    std::uintptr_t instructionAddress = 0;
};

Thrown Translate(HwTranslator translator, std::uint32_t code) {
    static int record;
    const HwExceptionFacts facts{code, &record, 0xDA7A, 0x1C0DE};
    Thrown t;
    try {
        ThrowTranslatedHwException(translator, facts);
    } catch (const HwFaultAddressException& e) {
        t = {&typeid(e), e.Kind(), e.ExceptionCode(), e.ExceptionPointers(), e.DataAddress(),
             e.InstructionAddress()};
    } catch (const QorBasSyncThreadHwException& e) {
        t = {&typeid(e), e.Kind(), e.ExceptionCode(), e.ExceptionPointers(), 0, 0};
    }
    if (t.type) {
        EXPECT_EQ(t.pointers, &record);
    }
    return t;
}

TEST(HwExceptionTranslation, FullTranslatorCodeToKindAndClass) {
    const auto& av = typeid(QorBasSyncThreadAccessViolationHwException);
    const auto& inPage = typeid(QorBasSyncThreadInPageErrorHwException);
    const auto& base = typeid(QorBasSyncThreadHwException);
    const auto& overflow = typeid(QorBasSyncThreadStackOverflowHwException);
    struct Row {
        std::uint32_t code;
        std::uint32_t kind;
        const std::type_info& type;
    };
    const Row rows[] = {
        {0xC0000005, 1, av},    {0xC0000006, 2, inPage}, {0x80000003, 3, base},
        {0x80000002, 4, base},  {0xC000008E, 5, base},   {0xC0000091, 6, base},
        {0xC0000093, 7, base},  {0xC000008D, 8, base},   {0xC000001D, 9, base},
        {0xC0000096, 10, base}, {0xC0000094, 11, base},  {0xC0000095, 12, base},
        {0x80000004, 13, base}, {0xC00000FD, 14, overflow},
        {0xC0000374, 15, overflow}, {0, 15, overflow},   {0xE06D7363, 15, overflow},
    };
    for (const Row& row : rows) {
        const Thrown t = Translate(HwTranslator::Full, row.code);
        ASSERT_NE(t.type, nullptr) << std::hex << row.code;
        EXPECT_EQ(*t.type, row.type) << std::hex << row.code;
        EXPECT_EQ(t.kind, row.kind) << std::hex << row.code;
        EXPECT_EQ(t.code, row.code);
        EXPECT_EQ(HwExceptionKindOf(row.code).kind, row.kind);
    }
}

TEST(HwExceptionTranslation, FaultClassesCarryTheAddresses) {
    for (std::uint32_t code : {0xC0000005u, 0xC0000006u}) {
        const Thrown t = Translate(HwTranslator::Full, code);
        EXPECT_EQ(t.dataAddress, 0xDA7Au);
        EXPECT_EQ(t.instructionAddress, 0x1C0DEu);
    }
}

TEST(HwExceptionTranslation, ThreadOptionsChooseTheTranslator) {
    EXPECT_EQ(TranslatorForThreadOptions(0), HwTranslator::None);
    EXPECT_EQ(TranslatorForThreadOptions(1), HwTranslator::Full);
    EXPECT_EQ(TranslatorForThreadOptions(2), HwTranslator::InPageErrorOnly);
    EXPECT_EQ(TranslatorForThreadOptions(3), HwTranslator::Full);
    EXPECT_EQ(TranslatorForThreadOptions(4), HwTranslator::None);

    // In-page errors only: everything else passes untranslated.
    const Thrown inPage = Translate(HwTranslator::InPageErrorOnly, 0xC0000006);
    ASSERT_NE(inPage.type, nullptr);
    EXPECT_EQ(*inPage.type, typeid(QorBasSyncThreadInPageErrorHwException));
    EXPECT_EQ(inPage.kind, 2u);
    for (std::uint32_t code : {0xC0000005u, 0xC00000FDu, 0x12345678u}) {
        EXPECT_EQ(Translate(HwTranslator::InPageErrorOnly, code).type, nullptr) << std::hex << code;
        EXPECT_EQ(Translate(HwTranslator::None, code).type, nullptr) << std::hex << code;
    }
}

}  // namespace
}  // namespace qor
