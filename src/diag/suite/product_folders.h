#pragma once
// The folders where the suite keeps files of one kind: its all-users data folder, then each
// user profile's Local AppData and AppData folders.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "platform/registry.h"

namespace qor {

// What the file gathering needs from the system.
class GatheringSources {
public:
    virtual ~GatheringSources() = default;
    // The suite's all-users data directory joined with `subPath`.
    [[nodiscard]] virtual ResultCode AllUsersDirectory(std::wstring_view subPath,
                                                       std::wstring_view generation,
                                                       std::wstring& out) = 0;
    virtual RegistryReader& Registry() = 0;
    virtual std::wstring ExpandEnvironment(const std::wstring& text) = 0;
    virtual bool IsDirectory(const std::wstring& path) = 0;
    [[nodiscard]] virtual ResultCode TempFolder(std::wstring& out) = 0;
    [[nodiscard]] virtual ResultCode WindowsFolder(std::wstring& out) = 0;
    virtual bool IsVistaOrLater() = 0;
    // The common application data folder, created when missing; rc::PathNotFound without.
    [[nodiscard]] virtual ResultCode CommonAppDataFolder(std::wstring& out) = 0;
};

// Start, then Current and Advance until Current answers rc::EndOfEntries.
// A user whose shell folders cannot be read (a hive not loaded) adds no candidate.
class ProductFolderEnumerator {
public:
    explicit ProductFolderEnumerator(GatheringSources& sources) : sources_(sources) {}

    [[nodiscard]] ResultCode Start(std::wstring_view subPath, std::wstring_view productFolder,
                                   std::wstring_view generation) noexcept;
    [[nodiscard]] ResultCode Current(std::wstring& out) const noexcept;
    // The current folder as the folder it lies in, which the user's programs may not change
    // at will (the all-users data folder, a profile's shell folder), and the levels below it.
    [[nodiscard]] ResultCode Current(std::wstring& root, std::wstring& below) const noexcept;
    void Advance() noexcept { ++index_; }
    void Release() noexcept;

private:
    struct Candidate {
        std::wstring root;
        std::wstring below;
    };
    void AddIfDirectory(std::wstring root, std::wstring_view below);
    void AddUserCandidates(const std::wstring& sid, std::wstring_view tail);
    [[nodiscard]] ResultCode ReadUserShellFolder(const std::wstring& sid,
                                                 const std::wstring& profile,
                                                 const wchar_t* valueName, std::wstring& out);

    GatheringSources& sources_;
    std::vector<Candidate> folders_;
    std::size_t index_ = 0;
};

}  // namespace qor
