// Opening keys below the cached roots and reading their values with ZwQueryValueKey.
#include "platform/win/registry_key_win.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace qor {
namespace {

constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005u);
constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023u);
constexpr std::size_t kHeaderBytes = sizeof(NtKeyValuePartialHeader);
constexpr std::size_t kInitialDataBytes = 256;
// Larger values are refused rather than allocated (about 4 Mi characters of text).
constexpr std::size_t kMaxStringBytes = std::size_t{8} << 20;
// The value may change between the size query and the read; give up after this many.
constexpr int kMaxQueryAttempts = 4;

// A value's type and data; `complete` is false when the data exceeded the caller's limit
// and was not read.
struct RawValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool complete = false;
};

ResultCode OpenBelow(RegistryRoot root, const std::wstring& path, ACCESS_MASK access,
                     NtKeyHandle& key) noexcept {
    HANDLE rootHandle = nullptr;
    ResultCode result = GetRegistryRootHandle(root, rootHandle);
    if (Failed(result)) return result;
    UNICODE_STRING name;
    result = CountedString(path, name);
    if (Failed(result)) return result;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, rootHandle, nullptr);
    HANDLE opened = nullptr;
    result = ResultFromNtStatus(ZwOpenKey(&opened, access, &attributes));
    if (Failed(result)) return KeyOpenResult(result);
    key.Reset(opened);
    return rc::Ok;
}

// The system redirects a 32-bit process by the view bits, but not a 64-bit one.
constexpr bool kProcessIs64Bit = sizeof(void*) == 8;

ResultCode ViewAccessBits(RegistryView view, std::uint32_t& bits) noexcept {
    const bool system64 = view == RegistryView::Native && IsNative64BitSystem();
    return RegistryViewAccess(view, system64, bits);
}

// The path opened below the root; classes-root paths go below the user's and machine's roots.
std::wstring TargetPath(RegistryRoot root, std::uint32_t viewBits, const std::wstring& path) {
    if (root == RegistryRoot::ClassesRoot) return ClassesSubPath(path);
    const bool redirect = kProcessIs64Bit && root == RegistryRoot::LocalMachine &&
                          (viewBits & kKeyWow64_32Key) != 0;
    return redirect ? Wow32MachinePath(path) : path;
}

NtKeyValuePartialHeader HeaderOf(const std::vector<std::uint8_t>& buffer) noexcept {
    NtKeyValuePartialHeader header{};
    std::memcpy(&header, buffer.data(), kHeaderBytes);
    return header;
}

// Type and data from a buffer in which the system filled `filled` bytes.
ResultCode TakeValue(const std::vector<std::uint8_t>& buffer, ULONG filled, RawValue& value) {
    if (filled < kHeaderBytes || filled > buffer.size()) return rc::BadLength;
    const NtKeyValuePartialHeader header = HeaderOf(buffer);
    const std::size_t length = std::min<std::size_t>(header.DataLength, filled - kHeaderBytes);
    const auto data = buffer.begin() + kHeaderBytes;
    value.type = header.Type;
    value.data.assign(data, data + static_cast<std::ptrdiff_t>(length));
    value.complete = true;
    return rc::Ok;
}

// Reads the value into a buffer grown to the size the system reports, up to maxData bytes.
ResultCode QueryValue(HANDLE key, const std::wstring& valueName, std::size_t maxData,
                      RawValue& value) {
    UNICODE_STRING name;
    const ResultCode named = CountedString(valueName, name);
    if (Failed(named)) return named;
    std::vector<std::uint8_t> buffer(kHeaderBytes + std::min(maxData, kInitialDataBytes));
    for (int attempt = 0; attempt < kMaxQueryAttempts; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status =
            ZwQueryValueKey(key, &name, kKeyValuePartialInformation, buffer.data(),
                            static_cast<ULONG>(buffer.size()), &needed);
        if (status != kStatusBufferOverflow && status != kStatusBufferTooSmall) {
            const ResultCode result = ResultFromNtStatus(status);
            if (Failed(result)) return result;
            return TakeValue(buffer, needed, value);
        }
        if (needed <= buffer.size()) return rc::BufferTooSmall;  // the system contradicts itself
        if (needed - kHeaderBytes > maxData) {
            // Too long to read: the type from the header is all the caller gets.
            if (status != kStatusBufferOverflow) return rc::BadLength;
            value.type = HeaderOf(buffer).Type;
            value.data.clear();
            value.complete = false;
            return rc::Ok;
        }
        buffer.resize(needed);
    }
    return rc::BufferTooSmall;
}

ResultCode QueryValueNoThrow(HANDLE key, const std::wstring& valueName, std::size_t maxData,
                             RawValue& value) noexcept {
    if (key == nullptr) return ResultFromWin32(ERROR_INVALID_HANDLE);
    try {
        return QueryValue(key, valueName, maxData, value);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

constexpr NTSTATUS kStatusNoMoreEntries = static_cast<NTSTATUS>(0x8000001Au);
constexpr std::size_t kBasicHeaderBytes = sizeof(NtKeyBasicHeader);
constexpr std::size_t kInitialNameBytes = 128 * sizeof(wchar_t);

// Names of the sub-keys; the buffer grows to the size the system reports.
ResultCode EnumerateSubKeys(HANDLE key, std::vector<std::wstring>& out) {
    std::vector<std::wstring> names;
    std::vector<std::uint8_t> buffer(kBasicHeaderBytes + kInitialNameBytes);
    for (ULONG index = 0;;) {
        ULONG needed = 0;
        const NTSTATUS status = ZwEnumerateKey(key, index, kKeyBasicInformation, buffer.data(),
                                               static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusNoMoreEntries) break;
        if (status == kStatusBufferOverflow || status == kStatusBufferTooSmall) {
            if (needed <= buffer.size()) return rc::BufferTooSmall;
            buffer.resize(needed);
            continue;
        }
        const ResultCode result = ResultFromNtStatus(status);
        if (Failed(result)) return result;
        NtKeyBasicHeader header{};
        std::memcpy(&header, buffer.data(), kBasicHeaderBytes);
        if (needed < kBasicHeaderBytes || header.NameLength > needed - kBasicHeaderBytes) {
            return rc::BadLength;
        }
        std::wstring name(header.NameLength / sizeof(wchar_t), L'\0');
        std::memcpy(name.data(), buffer.data() + kBasicHeaderBytes,
                    name.size() * sizeof(wchar_t));
        names.push_back(std::move(name));
        ++index;
    }
    out = std::move(names);
    return rc::Ok;
}

// Opens the key for reading and hands it to `read`.
template <typename Read>
ResultCode ReadOpenedKey(RegistryRoot root, const std::wstring& path, RegistryView view,
                         Read read) noexcept {
    RegistryKey key(root, view);
    const ResultCode result = key.OpenForReading(path);
    if (Failed(result)) return result;
    return read(key);
}

}  // namespace

ResultCode RegistryKey::ListSubKeys(std::vector<std::wstring>& out) noexcept {
    if (!handle_) return ResultFromWin32(ERROR_INVALID_HANDLE);
    try {
        return EnumerateSubKeys(handle_.Get(), out);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode RegistryKey::OpenForReading(const std::wstring& path) noexcept {
    std::uint32_t viewBits = 0;
    ResultCode result = ViewAccessBits(view_, viewBits);
    if (Failed(result)) return result;
    const ACCESS_MASK access = KEY_READ | viewBits;
    NtKeyHandle opened;
    try {
        const std::wstring target = TargetPath(root_, viewBits, path);
        if (root_ == RegistryRoot::ClassesRoot) {
            result = OpenBelow(RegistryRoot::CurrentUser, target, access, opened);
            if (Failed(result)) {
                result = OpenBelow(RegistryRoot::LocalMachine, target, access, opened);
            }
        } else {
            result = OpenBelow(root_, target, access, opened);
        }
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    if (Failed(result)) return result;
    handle_ = std::move(opened);
    return rc::Ok;
}

ResultCode RegistryKey::ReadString(const std::wstring& valueName, std::wstring& out) noexcept {
    RawValue value;
    const ResultCode result = QueryValueNoThrow(handle_.Get(), valueName, kMaxStringBytes, value);
    if (Failed(result)) return result;
    if (!value.complete) {
        return IsRegistryStringType(value.type) ? rc::BadLength : rc::RegistryWrongType;
    }
    return DecodeRegistryString(value.type, value.data, out);
}

ResultCode RegistryKey::ReadDword(const std::wstring& valueName, std::uint32_t& out) noexcept {
    RawValue value;
    // Anything longer than four bytes is refused by the decoder without being read.
    const ResultCode result = QueryValueNoThrow(handle_.Get(), valueName, 4, value);
    if (Failed(result)) return result;
    return DecodeRegistryDword(value.type, value.data, out);
}

ResultCode WinRegistryReader::ReadString(RegistryRoot root, const std::wstring& path,
                                         const std::wstring& valueName, RegistryView view,
                                         std::wstring& out) noexcept {
    return ReadOpenedKey(root, path, view,
                         [&](RegistryKey& key) { return key.ReadString(valueName, out); });
}

ResultCode WinRegistryReader::ReadDword(RegistryRoot root, const std::wstring& path,
                                        const std::wstring& valueName, RegistryView view,
                                        std::uint32_t& out) noexcept {
    return ReadOpenedKey(root, path, view,
                         [&](RegistryKey& key) { return key.ReadDword(valueName, out); });
}

ResultCode WinRegistryReader::ReadFirstString(RegistryRoot root, const std::wstring& path,
                                              std::span<const wchar_t* const> valueNames,
                                              RegistryView view,
                                              std::optional<std::wstring>& out) noexcept {
    return ReadOpenedKey(root, path, view, [&](RegistryKey& key) noexcept {
        try {
            for (const wchar_t* name : valueNames) {
                std::wstring value;
                if (Succeeded(key.ReadString(name, value))) {
                    out = std::move(value);
                    return rc::Ok;
                }
            }
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
        out.reset();
        return rc::Ok;
    });
}

ResultCode WinRegistryReader::ListSubKeys(RegistryRoot root, const std::wstring& path,
                                          RegistryView view,
                                          std::vector<std::wstring>& out) noexcept {
    return ReadOpenedKey(root, path, view, [&](RegistryKey& key) { return key.ListSubKeys(out); });
}

}  // namespace qor
