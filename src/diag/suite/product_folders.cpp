#include "diag/suite/product_folders.h"

#include <new>
#include <utility>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/shell_folder_keys.h"

namespace qor {

ResultCode ProductFolderEnumerator::Start(std::wstring_view subPath,
                                          std::wstring_view productFolder,
                                          std::wstring_view generation) noexcept {
    Release();
    try {
        std::wstring allUsers;
        if (sources_.AllUsersDirectory(subPath, generation, allUsers) == rc::Ok &&
            allUsers.size() > subPath.size() &&
            allUsers.compare(allUsers.size() - subPath.size(), subPath.size(), subPath) == 0) {
            allUsers.resize(allUsers.size() - subPath.size());
            while (allUsers.size() > 1 && (allUsers.back() == L'\\' || allUsers.back() == L'/')) {
                allUsers.pop_back();
            }
            AddIfDirectory(std::move(allUsers), subPath);
        }
        const std::wstring tail = productFolder.empty()
                                      ? std::wstring(subPath)
                                      : JoinPath(productFolder, subPath);
        std::vector<std::wstring> sids;
        if (sources_.Registry().ListSubKeys(RegistryRoot::LocalMachine, kProfileListKey,
                                            RegistryView::Default, sids) == rc::Ok) {
            for (const std::wstring& sid : sids) AddUserCandidates(sid, tail);
        }
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        Release();
        return rc::OutOfMemory;
    }
}

ResultCode ProductFolderEnumerator::Current(std::wstring& out) const noexcept {
    if (index_ >= folders_.size()) return rc::EndOfEntries;
    try {
        out = JoinPath(folders_[index_].root, folders_[index_].below);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

ResultCode ProductFolderEnumerator::Current(std::wstring& root, std::wstring& below) const noexcept {
    if (index_ >= folders_.size()) return rc::EndOfEntries;
    try {
        root = folders_[index_].root;
        below = folders_[index_].below;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return rc::Ok;
}

void ProductFolderEnumerator::Release() noexcept {
    folders_.clear();
    index_ = 0;
}

void ProductFolderEnumerator::AddIfDirectory(std::wstring root, std::wstring_view below) {
    if (root.empty() || !sources_.IsDirectory(JoinPath(root, below))) return;
    folders_.push_back(Candidate{std::move(root), std::wstring(below)});
}

void ProductFolderEnumerator::AddUserCandidates(const std::wstring& sid, std::wstring_view tail) {
    std::wstring profile;
    if (sources_.Registry().ReadString(RegistryRoot::LocalMachine,
                                       std::wstring(kProfileListKey) + L"\\" + sid,
                                       L"ProfileImagePath", RegistryView::Default,
                                       profile) == rc::Ok) {
        profile = sources_.ExpandEnvironment(profile);
    } else {
        profile.clear();
    }
    for (const wchar_t* valueName : {L"Local AppData", L"AppData"}) {
        std::wstring folder;
        if (ReadUserShellFolder(sid, profile, valueName, folder) == rc::Ok) {
            AddIfDirectory(std::move(folder), tail);
        }
    }
}

// "User Shell Folders" before "Shell Folders"; an empty result counts as not found.
ResultCode ProductFolderEnumerator::ReadUserShellFolder(const std::wstring& sid,
                                                        const std::wstring& profile,
                                                        const wchar_t* valueName,
                                                        std::wstring& out) {
    for (const wchar_t* key : {kUserShellFoldersKey, kShellFoldersKey}) {
        std::wstring path;
        if (sources_.Registry().ReadString(RegistryRoot::Users, sid + L"\\" + key, valueName,
                                           RegistryView::Default, path) != rc::Ok) {
            continue;
        }
        if (key == kUserShellFoldersKey) {
            const std::size_t at = FindProfileVariable(path);
            if (at != std::wstring::npos) {
                if (profile.empty()) continue;  // another user's profile is not ours to guess
                path.replace(at, kProfileVariable.size(), profile);
            }
            path = sources_.ExpandEnvironment(path);
        }
        if (!path.empty()) {
            out = std::move(path);
            return rc::Ok;
        }
    }
    return rc::PathNotFound;
}

}  // namespace qor
