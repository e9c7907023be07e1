// The ownership half of fs::File; opening, reading and closing are per platform.
#include <cstdint>
#include <new>
#include <utility>

#include "platform/fs.h"

namespace qor::fs {

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

File::~File() { Close(); }

bool File::IsOpen() const noexcept { return handle_ != kNone; }

ResultCode OpenFolderBelow(const std::wstring& root, const std::wstring& below,
                           File& held) noexcept {
    File folder;
    if (const ResultCode code = OpenFolder(root, folder); Failed(code)) return code;
    try {
        std::size_t start = 0;
        while (start <= below.size()) {
            std::size_t end = below.find_first_of(L"\\/", start);
            if (end == std::wstring::npos) end = below.size();
            if (end > start) {
                File next;
                const ResultCode code = OpenSubfolderIn(folder, below.substr(start, end - start), next);
                if (Failed(code)) return code;
                folder = std::move(next);
            }
            start = end + 1;
        }
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    held = std::move(folder);
    return rc::Ok;
}

ResultCode CopyFileNewIn(const std::wstring& from, File& folder, const std::wstring& name) noexcept {
    File source, target;
    if (const ResultCode code = OpenForReading(from, source); Failed(code)) return code;
    if (const ResultCode code = CreateNewIn(folder, name, target); Failed(code)) return code;
    std::uint8_t buffer[16384];
    for (;;) {
        std::uint32_t read = 0, written = 0;
        if (const ResultCode code = source.Read(buffer, sizeof buffer, read); Failed(code)) {
            return code;
        }
        if (read == 0) return target.Flush();
        if (const ResultCode code = target.Write(buffer, read, written); Failed(code)) return code;
    }
}

}  // namespace qor::fs
