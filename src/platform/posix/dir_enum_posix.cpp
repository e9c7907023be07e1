// DirectoryEnumerator over opendir / readdir.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>
#include <new>
#include <string_view>
#include <vector>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "platform/posix/native_path_posix.h"

namespace qor::fs {
namespace {

bool SameLetter(wchar_t a, wchar_t b) {
    return a == b || std::towlower(static_cast<wint_t>(a)) == std::towlower(static_cast<wint_t>(b));
}

// "*" any run of characters, "?" one character, without regard to case.
bool MatchesMask(std::wstring_view name, std::wstring_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::wstring_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == L'?' || SameLetter(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::wstring_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

// Kind of an entry as Windows reports it; a symbolic link is a reparse point.
ResultCode EntryAttributes(const std::string& path, std::uint32_t& out) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return ResultFromErrno(errno);
    std::uint32_t attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        attributes = attr::ReparsePoint;
        if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            attributes |= attr::Directory;
        }
    } else {
        if (S_ISDIR(st.st_mode)) attributes |= attr::Directory;
        if ((st.st_mode & S_IWUSR) == 0) attributes |= attr::ReadOnly;
    }
    out = attributes == 0 ? attr::Normal : attributes;
    return rc::Ok;
}

bool Wanted(std::string_view name, std::uint32_t attributes, std::uint32_t kindFlags) {
    if (name == ".") return (kindFlags & kinds::Dot) != 0;
    if (name == "..") return (kindFlags & kinds::DotDot) != 0;
    if ((attributes & attr::ReparsePoint) != 0 && (kindFlags & kinds::ReparsePoints) == 0) {
        return false;
    }
    const bool directory = (attributes & attr::Directory) != 0;
    return (kindFlags & (directory ? kinds::Directories : kinds::Files)) != 0;
}

// With kinds::NotThroughLink a symbolic link is refused rather than followed (a trailing
// separator would make the system follow it).
DIR* OpenListing(std::string path, std::uint32_t kindFlags, ResultCode& error) {
    if ((kindFlags & kinds::NotThroughLink) == 0) {
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) error = ResultFromErrno(errno);
        return dir;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int openErrno = errno;
        struct stat st;
        error = lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? rc::LinkRefused
                                                                      : ResultFromErrno(openErrno);
        return nullptr;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        error = ResultFromErrno(errno);
        close(fd);
    }
    return dir;
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept {
        const int savedErrno = errno;
        closedir(dir);
        errno = savedErrno;
    }
};

}  // namespace

struct DirectoryEnumerator::State {
    std::unique_ptr<DIR, DirCloser> dir;
    std::wstring directory;
    std::string nativeDirectory;
    std::wstring mask;
    std::uint32_t kindFlags = 0;
};

DirectoryEnumerator::DirectoryEnumerator() noexcept = default;
DirectoryEnumerator::~DirectoryEnumerator() = default;

ResultCode DirectoryEnumerator::Open(const std::wstring& directory, const std::wstring& mask,
                                     std::uint32_t kindFlags) noexcept {
    try {
        auto state = std::make_unique<State>();
        state->directory = directory;
        state->nativeDirectory = NativePath(directory);
        state->mask = mask;
        state->kindFlags = kindFlags;
        ResultCode error = rc::Ok;
        state->dir.reset(OpenListing(state->nativeDirectory, kindFlags, error));
        if (!state->dir) return error;
        if (state->nativeDirectory.empty() || state->nativeDirectory.back() != '/') {
            state->nativeDirectory += '/';
        }
        state_ = std::move(state);
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DirectoryEnumerator::Next(DirectoryEntry& out) noexcept {
    if (!state_) return ResultFromErrno(EBADF);
    State& state = *state_;
    try {
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(state.dir.get());
            if (entry == nullptr) return errno == 0 ? rc::EndOfEntries : ResultFromErrno(errno);
            const std::string_view native = entry->d_name;
            std::wstring name = FromNative(entry->d_name);
            if (!MatchesMask(name, state.mask)) continue;
            std::uint32_t attributes = attr::Directory;
            if (native != "." && native != "..") {
                const ResultCode result =
                    EntryAttributes(state.nativeDirectory + entry->d_name, attributes);
                if (result == rc::FileNotFound) continue;  // removed since it was listed
                if (Failed(result)) return result;
            }
            if (!Wanted(native, attributes, state.kindFlags)) continue;
            std::wstring fullPath = JoinPath(state.directory, name);
            out.name = std::move(name);
            out.fullPath = std::move(fullPath);
            out.attributes = attributes;
            return rc::Ok;
        }
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode ListFilesIn(File& folder, const std::wstring& mask,
                       std::vector<std::wstring>& names) noexcept {
    const int fd = dup(static_cast<int>(folder.Native()));
    if (fd < 0) return ResultFromErrno(errno);
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        close(fd);
        return ResultFromErrno(error);
    }
    rewinddir(dir);
    ResultCode result = rc::Ok;
    try {
        std::vector<std::wstring> found;
        while (const dirent* entry = readdir(dir)) {
            struct stat st {};
            if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
                continue;
            }
            std::wstring name = FromNative(entry->d_name);
            if (MatchesMask(name, mask)) found.push_back(std::move(name));
        }
        names = std::move(found);
    } catch (const std::bad_alloc&) {
        result = rc::OutOfMemory;
    }
    closedir(dir);
    return result;
}

}  // namespace qor::fs
