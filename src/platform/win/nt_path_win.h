#pragma once
// A DOS path made a native one for the Nt file calls, freed on destruction.
#include <windows.h>
#include <winternl.h>

#include <string>

namespace qor::fs {

class NtPath {
public:
    NtPath() noexcept = default;
    NtPath(const NtPath&) = delete;
    NtPath& operator=(const NtPath&) = delete;
    ~NtPath() {
        if (name_.Buffer != nullptr) RtlFreeUnicodeString(&name_);
    }
    // False when the path cannot be converted.
    [[nodiscard]] bool From(const std::wstring& path) noexcept {
        return RtlDosPathNameToNtPathName_U(path.c_str(), &name_, nullptr, nullptr) != FALSE;
    }
    UNICODE_STRING* Get() noexcept { return &name_; }

private:
    UNICODE_STRING name_{};
};

}  // namespace qor::fs
