// The ownership half of fs::File; opening, reading and closing are per platform.
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

}  // namespace qor::fs
