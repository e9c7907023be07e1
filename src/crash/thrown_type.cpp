#include "crash/thrown_type.h"

#include <cstring>

namespace qor {
namespace {

// Offsets shared by both widths: 32-bit fields, addresses on one, image offsets on the other.
constexpr std::size_t kThrowInfoTypes = 12;     // the catchable type array
constexpr std::size_t kTypeArrayEntries = 4;    // after the count
constexpr std::size_t kCatchableDescriptor = 4;
constexpr std::size_t kCatchableDisplacement = 8;  // mdisp, pdisp, vdisp
constexpr std::int32_t kMaxCatchableTypes = 64;  // far more than any class has bases
constexpr std::size_t kMaxNameBytes = 64;

// `at` moved by a signed displacement, wrapping as addresses do.
std::uintptr_t Moved(std::uintptr_t at, std::int32_t by) noexcept {
    return at + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(by));
}

bool ReadPointer(const MemoryReader& memory, std::uintptr_t at, std::size_t pointerBytes,
                 std::uintptr_t& out) noexcept {
    if (pointerBytes == 4) {
        std::uint32_t value = 0;
        if (!memory.Read(at, &value, sizeof value)) return false;
        out = value;
        return true;
    }
    std::uint64_t value = 0;
    if (!memory.Read(at, &value, sizeof value)) return false;
    out = static_cast<std::uintptr_t>(value);
    return true;
}

class ThrowWalk {
public:
    ThrowWalk(const RaisedException& raised, std::size_t pointerBytes,
              const MemoryReader& memory) noexcept
        : memory_(memory), pointerBytes_(pointerBytes) {
        if (pointerBytes == 8) base_ = raised.wordCount >= 4 ? raised.words[3] : 0;
    }

    bool Usable() const noexcept { return pointerBytes_ == 4 || base_ != 0; }

    // A 32-bit field that names a place: an address, or an offset from the image base.
    bool Place(std::uintptr_t at, std::uintptr_t& out) const noexcept {
        std::uint32_t value = 0;
        if (!memory_.Read(at, &value, sizeof value) || value == 0) return false;
        out = base_ + value;
        return true;
    }
    bool Int(std::uintptr_t at, std::int32_t& out) const noexcept {
        return memory_.Read(at, &out, sizeof out);
    }
    // The descriptor's name follows its table pointer and a spare pointer.
    bool Names(std::uintptr_t descriptor, const char* typeName) const noexcept {
        const std::size_t length = std::strlen(typeName);
        char name[kMaxNameBytes];
        if (length > sizeof name) return false;
        if (!memory_.Read(descriptor + 2 * pointerBytes_, name, length)) return false;
        return std::memcmp(name, typeName, length) == 0;
    }

    // Where the catchable type's class lies in the object: mdisp, moved through the virtual
    // base table when pdisp is not negative.
    bool ClassPart(std::uintptr_t type, std::uintptr_t object, std::uintptr_t& out) const noexcept {
        std::int32_t displacement[3];
        for (int i = 0; i < 3; ++i) {
            if (!Int(type + kCatchableDisplacement + 4 * i, displacement[i])) return false;
        }
        const auto [mdisp, pdisp, vdisp] = displacement;
        if (pdisp < 0) {
            out = Moved(object, mdisp);
            return true;
        }
        std::uintptr_t table = 0;
        std::int32_t offset = 0;
        if (!ReadPointer(memory_, Moved(object, pdisp), pointerBytes_, table) ||
            !Int(Moved(table, vdisp), offset)) {
            return false;
        }
        out = Moved(Moved(Moved(object, pdisp), offset), mdisp);
        return true;
    }

private:
    const MemoryReader& memory_;
    std::size_t pointerBytes_;
    std::uintptr_t base_ = 0;
};

}  // namespace

std::uintptr_t ThrownClassObject(const RaisedException& raised, std::size_t pointerBytes,
                                 const char* typeName, const MemoryReader& memory) noexcept {
    if (raised.code != kPlatformCxxExceptionCode || raised.wordCount < 3 || !raised.words ||
        raised.words[0] != kPlatformCxxMagic || !typeName) {
        return 0;
    }
    const ThrowWalk walk(raised, pointerBytes, memory);
    const std::uintptr_t object = raised.words[1];
    std::uintptr_t types = 0;
    std::int32_t count = 0;
    if (!walk.Usable() || object == 0 || raised.words[2] == 0 ||
        !walk.Place(raised.words[2] + kThrowInfoTypes, types) || !walk.Int(types, count) ||
        count <= 0 || count > kMaxCatchableTypes) {
        return 0;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::uintptr_t type = 0, descriptor = 0, part = 0;
        if (walk.Place(types + kTypeArrayEntries + 4 * static_cast<std::uintptr_t>(i), type) &&
            walk.Place(type + kCatchableDescriptor, descriptor) &&
            walk.Names(descriptor, typeName) && walk.ClassPart(type, object, part)) {
            return part;
        }
    }
    return 0;
}

std::uintptr_t StoredExceptionPointers(std::uintptr_t object, std::size_t pointerBytes,
                                       const MemoryReader& memory) noexcept {
    std::uintptr_t pointers = 0;
    return ReadPointer(memory, object + pointerBytes + 8, pointerBytes, pointers) ? pointers : 0;
}

}  // namespace qor
