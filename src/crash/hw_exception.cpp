#include "crash/hw_exception.h"

namespace qor {
namespace {

constexpr std::uint32_t kInPageError = 0xC0000006;

struct KindRow {
    std::uint32_t code;
    HwExceptionKind kind;
};

constexpr KindRow kKinds[] = {
    {0xC0000005, {1, HwExceptionClass::AccessViolation}},
    {kInPageError, {2, HwExceptionClass::InPageError}},
    {0x80000003, {3, HwExceptionClass::Base}},   // breakpoint
    {0x80000002, {4, HwExceptionClass::Base}},   // datatype misalignment
    {0xC000008E, {5, HwExceptionClass::Base}},   // float divide by zero
    {0xC0000091, {6, HwExceptionClass::Base}},   // float overflow
    {0xC0000093, {7, HwExceptionClass::Base}},   // float underflow
    {0xC000008D, {8, HwExceptionClass::Base}},   // float denormal operand
    {0xC000001D, {9, HwExceptionClass::Base}},   // illegal instruction
    {0xC0000096, {10, HwExceptionClass::Base}},  // privileged instruction
    {0xC0000094, {11, HwExceptionClass::Base}},  // integer divide by zero
    {0xC0000095, {12, HwExceptionClass::Base}},  // integer overflow
    {0x80000004, {13, HwExceptionClass::Base}},  // single step
    {0xC00000FD, {14, HwExceptionClass::StackOverflow}},
};

constexpr HwExceptionKind kOtherKind{15, HwExceptionClass::StackOverflow};

}  // namespace

HwExceptionKind HwExceptionKindOf(std::uint32_t code) noexcept {
    for (const KindRow& row : kKinds) {
        if (row.code == code) return row.kind;
    }
    return kOtherKind;
}

HwTranslator TranslatorForThreadOptions(std::uint32_t options) noexcept {
    if (options & 1u) return HwTranslator::Full;
    if (options & 2u) return HwTranslator::InPageErrorOnly;
    return HwTranslator::None;
}

void ThrowTranslatedHwException(HwTranslator translator, const HwExceptionFacts& facts) {
    if (translator == HwTranslator::None) return;
    if (translator == HwTranslator::InPageErrorOnly && facts.code != kInPageError) return;
    const HwExceptionKind kind = HwExceptionKindOf(facts.code);
    switch (kind.thrownClass) {
    case HwExceptionClass::AccessViolation:
        throw QorBasSyncThreadAccessViolationHwException(kind.kind, facts);
    case HwExceptionClass::InPageError:
        throw QorBasSyncThreadInPageErrorHwException(kind.kind, facts);
    case HwExceptionClass::StackOverflow:
        throw QorBasSyncThreadStackOverflowHwException(kind.kind, facts.code, facts.pointers);
    case HwExceptionClass::Base:
        break;
    }
    throw QorBasSyncThreadHwException(kind.kind, facts.code, facts.pointers);
}

}  // namespace qor
