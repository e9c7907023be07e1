// DirectoryEnumerator over FindFirstFileW / FindNextFileW.
#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/win/no_follow_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor::fs {
namespace {

bool Wanted(const WIN32_FIND_DATAW& data, std::uint32_t kindFlags) {
    const std::wstring_view name = data.cFileName;
    if (name == L".") return (kindFlags & kinds::Dot) != 0;
    if (name == L"..") return (kindFlags & kinds::DotDot) != 0;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (kindFlags & kinds::ReparsePoints) == 0) {
        return false;
    }
    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return (kindFlags & (directory ? kinds::Directories : kinds::Files)) != 0;
}

}  // namespace

struct DirectoryEnumerator::State {
    std::wstring directory;
    std::uint32_t kindFlags = 0;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // `data` holds an entry not yet handed out
    FileHandle held;       // the directory itself, with kinds::NotThroughLink
    FindHandle find;
};

DirectoryEnumerator::DirectoryEnumerator() noexcept = default;
DirectoryEnumerator::~DirectoryEnumerator() = default;

ResultCode DirectoryEnumerator::Open(const std::wstring& directory, const std::wstring& mask,
                                     std::uint32_t kindFlags) noexcept {
    try {
        auto state = std::make_unique<State>();
        state->directory = directory;
        state->kindFlags = kindFlags;
        if (kindFlags & kinds::NotThroughLink) {
            const ResultCode held = OpenDirectoryNoFollow(directory, state->held);
            if (Failed(held)) return held;
        }
        const std::wstring pattern = JoinPath(directory, mask);
        state->find.Reset(FindFirstFileW(pattern.c_str(), &state->data));
        if (state->find) {
            state->pending = true;
        } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
            return ResultFromWin32(error);
        }  // else: nothing matches the mask; an empty listing
        state_ = std::move(state);
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DirectoryEnumerator::Next(DirectoryEntry& out) noexcept {
    if (!state_) return ResultFromWin32(ERROR_INVALID_HANDLE);
    State& state = *state_;
    for (;;) {
        if (!state.pending) {
            if (!state.find) return rc::EndOfEntries;
            if (!FindNextFileW(state.find.Get(), &state.data)) {
                const DWORD error = GetLastError();
                return error == ERROR_NO_MORE_FILES ? rc::EndOfEntries : ResultFromWin32(error);
            }
        }
        state.pending = false;
        if (!Wanted(state.data, state.kindFlags)) continue;
        try {
            std::wstring name = state.data.cFileName;
            std::wstring fullPath = JoinPath(state.directory, name);
            out.name = std::move(name);
            out.fullPath = std::move(fullPath);
            out.attributes = state.data.dwFileAttributes;
            return rc::Ok;
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
    }
}

}  // namespace qor::fs
