#pragma once
// The thrown type of a platform C++ exception raised by another module, read from the throw
// information its compiler left: the catchable types, each naming a class the object is or
// derives from. Uses no heap, reads through MemoryReader only.
#include <cstddef>
#include <cstdint>

#include "crash/crash_command.h"

namespace qor {

// Reads the process's own memory without faulting: false when the bytes cannot be read.
class MemoryReader {
public:
    [[nodiscard]] virtual bool Read(std::uintptr_t address, void* out,
                                    std::size_t size) const noexcept = 0;

protected:
    ~MemoryReader() = default;
};

// The name of the hardware-exception base class as a type descriptor spells it, up to the
// "@" that ends the class's own name.
inline constexpr char kHwExceptionTypeName[] = ".?AVQorBasSyncThreadHwException@";

// For a platform C++ exception whose thrown type is, or derives from, the class whose
// descriptor name begins with `typeName`, the address of that class's part of the thrown
// object; otherwise 0. `pointerBytes` 4: the throw information holds addresses; 8: offsets
// from the image base, which the fourth word carries.
[[nodiscard]] std::uintptr_t ThrownClassObject(const RaisedException& raised,
                                               std::size_t pointerBytes, const char* typeName,
                                               const MemoryReader& memory) noexcept;

// The exception pointers a hardware exception object holds: the third field after its table
// pointer (the kind, the code, the pointers); 0 when unreadable.
[[nodiscard]] std::uintptr_t StoredExceptionPointers(std::uintptr_t object,
                                                     std::size_t pointerBytes,
                                                     const MemoryReader& memory) noexcept;

}  // namespace qor
