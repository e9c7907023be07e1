#pragma once
// Registry keys read through the native key calls.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win/nt_key_win.h"

namespace qor {

// True on a 64-bit system, also for a 32-bit process there; decided once per process.
[[nodiscard]] bool IsNative64BitSystem() noexcept;

// The process-wide native handle of a predefined root, opened on first use and kept.
[[nodiscard]] ResultCode GetRegistryRootHandle(RegistryRoot root, HANDLE& handle) noexcept;

// A root, a view and the handle of a key opened below the root.
// Keys on ClassesRoot use the merged view: the user's classes, else the machine's.
class RegistryKey {
public:
    RegistryKey() noexcept = default;
    RegistryKey(RegistryRoot root, RegistryView view) noexcept : root_(root), view_(view) {}

    void SetRoot(RegistryRoot root) noexcept { root_ = root; }
    void SetView(RegistryView view) noexcept { view_ = view; }

    // KEY_READ plus the view's bits; on success replaces any handle held before.
    [[nodiscard]] ResultCode OpenForReading(const std::wstring& path) noexcept;
    [[nodiscard]] ResultCode ReadString(const std::wstring& valueName, std::wstring& out) noexcept;
    [[nodiscard]] ResultCode ReadDword(const std::wstring& valueName, std::uint32_t& out) noexcept;
    // The names of the direct sub-keys, in the order the system gives them.
    [[nodiscard]] ResultCode ListSubKeys(std::vector<std::wstring>& out) noexcept;
    void Close() noexcept { handle_.Reset(); }
    [[nodiscard]] bool IsOpen() const noexcept { return static_cast<bool>(handle_); }

private:
    RegistryRoot root_ = RegistryRoot::LocalMachine;
    RegistryView view_ = RegistryView::Default;
    NtKeyHandle handle_;
};

class WinRegistryReader final : public RegistryReader {
public:
    [[nodiscard]] ResultCode ReadString(RegistryRoot root, const std::wstring& path,
                                        const std::wstring& valueName, RegistryView view,
                                        std::wstring& out) noexcept override;
    [[nodiscard]] ResultCode ReadDword(RegistryRoot root, const std::wstring& path,
                                       const std::wstring& valueName, RegistryView view,
                                       std::uint32_t& out) noexcept override;
    [[nodiscard]] ResultCode ReadFirstString(RegistryRoot root, const std::wstring& path,
                                             std::span<const wchar_t* const> valueNames,
                                             RegistryView view,
                                             std::optional<std::wstring>& out) noexcept override;
    [[nodiscard]] ResultCode ListSubKeys(RegistryRoot root, const std::wstring& path,
                                         RegistryView view,
                                         std::vector<std::wstring>& out) noexcept override;
};

}  // namespace qor
