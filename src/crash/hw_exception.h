#pragma once
// Hardware exceptions as typed C++ exceptions: the classes, the kind of each exception code,
// and the translators a thread may ask for.
#include <cstdint>

namespace qor {

// What the translator knows of one exception record.
struct HwExceptionFacts {
    std::uint32_t code = 0;
    void* pointers = nullptr;               // the exception pointers record
    std::uintptr_t dataAddress = 0;         // second information word of the record
    std::uintptr_t instructionAddress = 0;  // the record's exception address
};

class QorBasSyncThreadHwException {
public:
    QorBasSyncThreadHwException(std::uint32_t kind, std::uint32_t code, void* pointers) noexcept
        : kind_(kind), code_(code), pointers_(pointers) {}
    virtual ~QorBasSyncThreadHwException() = default;
    virtual std::uint32_t Kind() const noexcept { return kind_; }
    virtual std::uint32_t ExceptionCode() const noexcept { return code_; }
    virtual void* ExceptionPointers() const noexcept { return pointers_; }

private:
    std::uint32_t kind_;
    std::uint32_t code_;
    void* pointers_;
};

// Access violations and in-page errors: the failed data address and the instruction.
class HwFaultAddressException : public QorBasSyncThreadHwException {
public:
    HwFaultAddressException(std::uint32_t kind, const HwExceptionFacts& facts) noexcept
        : QorBasSyncThreadHwException(kind, facts.code, facts.pointers),
          dataAddress_(facts.dataAddress),
          instructionAddress_(facts.instructionAddress) {}
    virtual std::uintptr_t DataAddress() const noexcept { return dataAddress_; }
    virtual std::uintptr_t InstructionAddress() const noexcept { return instructionAddress_; }

private:
    std::uintptr_t dataAddress_;
    std::uintptr_t instructionAddress_;
};

class QorBasSyncThreadAccessViolationHwException final : public HwFaultAddressException {
public:
    using HwFaultAddressException::HwFaultAddressException;
};

class QorBasSyncThreadInPageErrorHwException final : public HwFaultAddressException {
public:
    using HwFaultAddressException::HwFaultAddressException;
};

class QorBasSyncThreadStackOverflowHwException final : public QorBasSyncThreadHwException {
public:
    using QorBasSyncThreadHwException::QorBasSyncThreadHwException;
};

enum class HwExceptionClass { Base, AccessViolation, InPageError, StackOverflow };

struct HwExceptionKind {
    std::uint32_t kind;
    HwExceptionClass thrownClass;
};

// The kind and class the full translator gives an exception code; unknown codes are kind 15.
[[nodiscard]] HwExceptionKind HwExceptionKindOf(std::uint32_t code) noexcept;

enum class HwTranslator { None, Full, InPageErrorOnly };

// Thread start option bits: bit 0 the full translator, bit 1 in-page errors only.
[[nodiscard]] HwTranslator TranslatorForThreadOptions(std::uint32_t options) noexcept;

// Throws the typed exception `translator` gives for `facts`; returns when it leaves the
// exception untranslated.
void ThrowTranslatedHwException(HwTranslator translator, const HwExceptionFacts& facts);

}  // namespace qor
