// Any bytes as an image: the resource walk, then the string table and the fixed version.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/byte_source.h"
#include "platform/version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qor::MemoryByteSource image(std::span<const std::uint8_t>(data, size));
    qor::VersionResourceReader reader;
    if (qor::Failed(reader.Load(image))) return 0;
    qor::FileVersionInfo info;
    (void)reader.ReadStrings(info);
    std::wstring version;
    (void)reader.GetFileVersionText(version);
    return 0;
}
