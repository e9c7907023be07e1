#pragma once
// Owners of kernel object handles; closing keeps the last error.
#include <windows.h>

#include <utility>

namespace qor {

template <HANDLE (*Invalid)()>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const noexcept { return handle_; }
    HANDLE* Put() noexcept {
        Reset();
        return &handle_;
    }
    HANDLE Release() noexcept { return std::exchange(handle_, Invalid()); }
    explicit operator bool() const noexcept { return handle_ != Invalid(); }
    void Reset(HANDLE handle = Invalid()) noexcept {
        if (handle_ != Invalid()) {
            const DWORD lastError = GetLastError();
            CloseHandle(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = Invalid();
};

inline HANDLE NullHandleValue() noexcept { return nullptr; }
inline HANDLE InvalidHandleValue() noexcept { return INVALID_HANDLE_VALUE; }

// Process, thread and pipe handles: null when empty.
using KernelHandle = UniqueHandle<NullHandleValue>;
// Files opened by CreateFileW: INVALID_HANDLE_VALUE when empty.
using FileHandle = UniqueHandle<InvalidHandleValue>;

}  // namespace qor
