#pragma once
// Finds the version resource of a Portable Executable image (32- or 64-bit) by walking its
// headers and resource directory in the file, and reads the resource's bytes.
#include <cstdint>
#include <vector>

#include "common/result.h"
#include "platform/byte_source.h"

namespace qor {

// The first language of the first name of the version resource. rc::NotFound without a
// resource directory or version resource; rc::MalformedImage for broken headers, a broken
// or endlessly nested directory, or an address outside the file's data; rc::OutOfMemory.
// `out` is left alone on failure.
[[nodiscard]] ResultCode ReadVersionResource(ByteSource& image,
                                             std::vector<std::uint8_t>& out) noexcept;

}  // namespace qor
