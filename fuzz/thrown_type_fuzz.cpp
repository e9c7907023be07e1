// The walk of another module's throw information and the fields of its thrown object, over
// memory that holds anything: the input is the memory, mapped at a fixed address.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "crash/thrown_type.h"

namespace {

constexpr std::uintptr_t kBase = 0x10000;

class InputMemory final : public qor::MemoryReader {
public:
    InputMemory(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(size) {}
    bool Read(std::uintptr_t address, void* out, std::size_t size) const noexcept override {
        if (address < kBase || address - kBase > size_ || size > size_ - (address - kBase)) {
            return false;
        }
        std::memcpy(out, data_ + (address - kBase), size);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

std::uintptr_t Word(const std::uint8_t* data, std::size_t at) noexcept {
    std::uint32_t value = 0;
    std::memcpy(&value, data + at, sizeof value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 17) return 0;
    // The raised words come from the input too: magic, object, throw information, image base,
    // the places inside the input's memory.
    const std::uintptr_t words[4] = {qor::kPlatformCxxMagic, kBase + Word(data, 1) % size,
                                     kBase + Word(data, 5) % size, Word(data, 9) ? kBase : 0};
    qor::RaisedException raised;
    raised.code = qor::kPlatformCxxExceptionCode;
    raised.wordCount = 1 + data[0] % 4;
    raised.words = words;
    const InputMemory memory(data, size);
    for (const std::size_t width : {std::size_t{4}, std::size_t{8}}) {
        const std::uintptr_t part =
            qor::ThrownClassObject(raised, width, qor::kHwExceptionTypeName, memory);
        if (part) static_cast<void>(qor::StoredExceptionPointers(part, width, memory));
    }
    return 0;
}
