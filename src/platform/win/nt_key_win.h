#pragma once
// Native registry calls of ntdll (imported) and the owner of a native key handle.
#include <windows.h>
#include <winternl.h>

#include <string>
#include <utility>

#include "common/result.h"

extern "C" {
NTSTATUS NTAPI ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                         POBJECT_ATTRIBUTES ObjectAttributes);
NTSTATUS NTAPI ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                           POBJECT_ATTRIBUTES ObjectAttributes, ULONG TitleIndex,
                           PUNICODE_STRING Class, ULONG CreateOptions, PULONG Disposition);
NTSTATUS NTAPI ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                               ULONG KeyValueInformationClass, PVOID KeyValueInformation,
                               ULONG Length, PULONG ResultLength);
NTSTATUS NTAPI ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, ULONG KeyInformationClass,
                              PVOID KeyInformation, ULONG Length, PULONG ResultLength);
NTSTATUS NTAPI ZwClose(HANDLE Handle);
NTSTATUS NTAPI RtlOpenCurrentUser(ACCESS_MASK DesiredAccess, PHANDLE CurrentUserKey);
}

namespace qor {

inline constexpr ULONG kKeyValuePartialInformation = 2;

inline constexpr ULONG kKeyBasicInformation = 0;

// The fixed part of KEY_BASIC_INFORMATION; the name follows it.
struct NtKeyBasicHeader {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG NameLength;
};

// The fixed part of KEY_VALUE_PARTIAL_INFORMATION; the data follows it.
struct NtKeyValuePartialHeader {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
};

// A counted string over `text`, which must outlive it; longer than 32767 characters
// does not fit and gives BadLength.
[[nodiscard]] inline ResultCode CountedString(const std::wstring& text,
                                              UNICODE_STRING& out) noexcept {
    constexpr std::size_t kMaxChars = 0xFFFE / sizeof(wchar_t);
    if (text.size() > kMaxChars) return rc::BadLength;
    const auto bytes = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    out.Length = bytes;
    out.MaximumLength = bytes;
    out.Buffer = const_cast<wchar_t*>(text.c_str());
    return rc::Ok;
}

// Owns one native key handle (null when empty); closing keeps the last error.
class NtKeyHandle {
public:
    NtKeyHandle() noexcept = default;
    explicit NtKeyHandle(HANDLE handle) noexcept : handle_(handle) {}
    NtKeyHandle(NtKeyHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    NtKeyHandle& operator=(NtKeyHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    NtKeyHandle(const NtKeyHandle&) = delete;
    NtKeyHandle& operator=(const NtKeyHandle&) = delete;
    ~NtKeyHandle() { Reset(); }

    [[nodiscard]] HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    void Reset(HANDLE handle = nullptr) noexcept {
        if (handle_ != nullptr) {
            const DWORD lastError = GetLastError();
            static_cast<void>(ZwClose(handle_));
            SetLastError(lastError);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace qor
