#pragma once
// One owner per handle kind; closing keeps the last error.
#include <windows.h>

#include <utility>

namespace qor {

// Traits give the handle type, its empty value and how it is closed.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    Handle* Put() noexcept {
        Reset();
        return &handle_;
    }
    Handle Release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }
    void Reset(Handle handle = Traits::Empty()) noexcept {
        if (handle_ != Traits::Empty()) {
            const DWORD lastError = GetLastError();
            Traits::Close(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Empty();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static void Close(HANDLE handle) noexcept { CloseHandle(handle); }
};
struct FileHandleTraits : KernelHandleTraits {
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) noexcept { FindClose(handle); }
};
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static SC_HANDLE Empty() noexcept { return nullptr; }
    static void Close(SC_HANDLE handle) noexcept { CloseServiceHandle(handle); }
};
struct LibraryHandleTraits {
    using Handle = HMODULE;
    static HMODULE Empty() noexcept { return nullptr; }
    static void Close(HMODULE module) noexcept { FreeLibrary(module); }
};
struct VolumeFindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) noexcept { FindVolumeClose(handle); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static HKEY Empty() noexcept { return nullptr; }
    static void Close(HKEY handle) noexcept { RegCloseKey(handle); }
};

// Process, thread and pipe handles: null when empty.
using KernelHandle = UniqueHandle<KernelHandleTraits>;
// Files opened by CreateFileW: INVALID_HANDLE_VALUE when empty.
using FileHandle = UniqueHandle<FileHandleTraits>;
// Directory searches of FindFirstFileW.
using FindHandle = UniqueHandle<FindHandleTraits>;
// Service manager and service handles.
using ServiceHandle = UniqueHandle<ServiceHandleTraits>;
// Keys opened by RegOpenKeyExW.
using RegistryKeyHandle = UniqueHandle<RegistryKeyTraits>;
// Libraries loaded with LoadLibraryW or LoadLibraryExW.
using LibraryHandle = UniqueHandle<LibraryHandleTraits>;
// Volume searches of FindFirstVolumeW.
using VolumeFindHandle = UniqueHandle<VolumeFindHandleTraits>;

}  // namespace qor
