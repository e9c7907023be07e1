#include "maintenance/driver_registry_win.h"

#include <windows.h>

#include <new>

#include "platform/registry.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

// Larger values are refused rather than allocated.
constexpr DWORD kMaxValueBytes = 16u << 20;
// The value may grow between the size query and the read; give up after this many.
constexpr int kMaxQueryAttempts = 4;

[[nodiscard]] ResultCode Open(const std::wstring& path, REGSAM access, RegistryKeyHandle& key) {
    HKEY opened = nullptr;
    const LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &opened);
    if (error != ERROR_SUCCESS) return ResultFromWin32(static_cast<DWORD>(error));
    key.Reset(opened);
    return rc::Ok;
}

// Type and data, starting with a 4-byte buffer and growing to the size the system reports.
[[nodiscard]] ResultCode Query(const std::wstring& path, const std::wstring& name,
                               DWORD& type, std::vector<std::uint8_t>& data) {
    RegistryKeyHandle key;
    if (const ResultCode code = Open(path, KEY_QUERY_VALUE, key); Failed(code)) return code;
    std::vector<std::uint8_t> buffer(4);
    for (int attempt = 0; attempt < kMaxQueryAttempts; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG error =
            RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, buffer.data(), &size);
        if (error == ERROR_SUCCESS) {
            buffer.resize(size);
            data.swap(buffer);
            return rc::Ok;
        }
        if (error != ERROR_MORE_DATA) return ResultFromWin32(static_cast<DWORD>(error));
        if (size <= buffer.size()) return rc::BufferTooSmall;  // the system contradicts itself
        if (size > kMaxValueBytes) return rc::BadLength;
        buffer.resize(size);
    }
    return rc::BufferTooSmall;
}

[[nodiscard]] ResultCode Set(const std::wstring& path, const std::wstring& name, DWORD type,
                             const void* data, std::size_t size) {
    if (size > kMaxValueBytes) return rc::BadLength;
    RegistryKeyHandle key;
    if (const ResultCode code = Open(path, KEY_SET_VALUE, key); Failed(code)) return code;
    const LONG error = RegSetValueExW(key.Get(), name.c_str(), 0, type,
                                      static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    return ResultFromWin32(static_cast<DWORD>(error));
}

template <typename Work>
[[nodiscard]] ResultCode NoThrow(Work work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace

ResultCode WinDriverRegistry::OpenKey(const std::wstring& path) {
    RegistryKeyHandle key;
    return Open(path, KEY_READ, key);
}

ResultCode WinDriverRegistry::ReadString(const std::wstring& path, const std::wstring& name,
                                         std::wstring& out) {
    return NoThrow([&] {
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        if (const ResultCode code = Query(path, name, type, data); Failed(code)) return code;
        return DecodeRegistryString(type, data, out);
    });
}

ResultCode WinDriverRegistry::ReadDword(const std::wstring& path, const std::wstring& name,
                                        std::uint32_t& out) {
    return NoThrow([&] {
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        if (const ResultCode code = Query(path, name, type, data); Failed(code)) return code;
        if (type != REG_DWORD) return rc::RegistryWrongType;
        return DecodeRegistryDword(type, data, out);
    });
}

ResultCode WinDriverRegistry::ReadBinary(const std::wstring& path, const std::wstring& name,
                                         std::vector<std::uint8_t>& out) {
    return NoThrow([&] {
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        if (const ResultCode code = Query(path, name, type, data); Failed(code)) return code;
        if (type != REG_BINARY) return rc::RegistryWrongType;
        out.swap(data);
        return rc::Ok;
    });
}

ResultCode WinDriverRegistry::WriteString(const std::wstring& path, const std::wstring& name,
                                          const std::wstring& value) {
    return NoThrow([&] {
        return Set(path, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    });
}

ResultCode WinDriverRegistry::WriteDword(const std::wstring& path, const std::wstring& name,
                                         std::uint32_t value) {
    return NoThrow([&] {
        const DWORD data = value;
        return Set(path, name, REG_DWORD, &data, sizeof(data));
    });
}

ResultCode WinDriverRegistry::WriteBinary(const std::wstring& path, const std::wstring& name,
                                          const std::vector<std::uint8_t>& value) {
    return NoThrow([&] { return Set(path, name, REG_BINARY, value.data(), value.size()); });
}

}  // namespace qor
