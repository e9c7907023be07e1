// Files made and removed by name inside a held folder, through the Nt calls relative to its
// handle. Wine follows a Unix link even when asked to open the link itself and shows no link
// on the handle; only a listing of the folder shows it. So a name is looked up in a listing
// first, and the handle then opened must be the same file.
#include <windows.h>
#include <winternl.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "platform/dir_enum.h"
#include "platform/folder_security.h"
#include "platform/fs.h"
#include "platform/win/no_follow_win.h"

namespace qor::fs {
namespace {

constexpr auto kFileIdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(37);

struct IdBothDirectoryEntry {
    ULONG nextEntryOffset;
    ULONG fileIndex;
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    LARGE_INTEGER endOfFile, allocationSize;
    ULONG fileAttributes;
    ULONG fileNameLength;
    ULONG eaSize;
    CCHAR shortNameLength;
    WCHAR shortName[12];
    LARGE_INTEGER fileId;
    WCHAR fileName[1];
};

using QueryDirectoryFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID,
                                          ULONG, FILE_INFORMATION_CLASS, BOOLEAN,
                                          PUNICODE_STRING, BOOLEAN);

HANDLE AsHandle(const File& file) { return reinterpret_cast<HANDLE>(file.Native()); }

struct LocalFreer {
    void operator()(void* memory) const noexcept { LocalFree(memory); }
};

bool SidText(PSID sid, std::wstring& out) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return false;
    const std::unique_ptr<wchar_t, LocalFreer> owned(text);
    out = text;
    return true;
}

class RelativeName {
public:
    explicit RelativeName(const std::wstring& name) noexcept {
        name_.Buffer = const_cast<wchar_t*>(name.c_str());
        name_.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        name_.MaximumLength = name_.Length;
    }
    OBJECT_ATTRIBUTES In(HANDLE folder) noexcept {
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name_, OBJ_CASE_INSENSITIVE, folder, nullptr);
        return attributes;
    }

private:
    UNICODE_STRING name_{};
};

ResultCode OpenIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                  ULONG disposition, ULONG options, FileHandle& out) noexcept {
    RelativeName relative(name);
    OBJECT_ATTRIBUTES attributes = relative.In(folder);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, share, disposition,
                     options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
    out = FileHandle(handle);
    return rc::Ok;
}

// Looked up before the entry point: a lookup takes the loader's lock, which a step given up
// inside a library's start may hold for good.
const auto g_queryDirectory = reinterpret_cast<QueryDirectoryFn>(reinterpret_cast<void*>(
    GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryDirectoryFile")));

QueryDirectoryFn QueryDirectory() noexcept {
    return g_queryDirectory;
}

// A listing's pattern is fixed by its first query, so each listing has a handle of its own.
class Listing {
public:
    [[nodiscard]] ResultCode Open(HANDLE folder) noexcept {
        if (QueryDirectory() == nullptr) return rc::NotSupported;
        return OpenIn(folder, L"", FILE_LIST_DIRECTORY,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                      FILE_DIRECTORY_FILE, handle_);
    }
    // Entries matching `pattern`, a batch at a time; rc::EndOfEntries after the last.
    [[nodiscard]] ResultCode Next(const std::wstring& pattern, bool first) noexcept {
        RelativeName name(pattern);
        OBJECT_ATTRIBUTES unused = name.In(nullptr);
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = QueryDirectory()(handle_.Get(), nullptr, nullptr, nullptr, &io,
                                                 buffer_, sizeof buffer_,
                                                 kFileIdBothDirectoryInformation, FALSE,
                                                 first ? unused.ObjectName : nullptr, first);
        if (status == static_cast<NTSTATUS>(0x80000006) ||   // no more files
            status == static_cast<NTSTATUS>(0xC000000F)) {  // no such file
            return rc::EndOfEntries;
        }
        if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
        return rc::Ok;
    }
    // Calls `each` for every entry of the last batch.
    template <typename Each>
    void ForEach(Each each) const {
        for (std::size_t offset = 0;;) {
            const auto* entry = reinterpret_cast<const IdBothDirectoryEntry*>(buffer_ + offset);
            each(*entry, std::wstring(entry->fileName, entry->fileNameLength / sizeof(wchar_t)));
            if (entry->nextEntryOffset == 0) return;
            offset += entry->nextEntryOffset;
        }
    }

private:
    FileHandle handle_;
    alignas(8) std::byte buffer_[16384];
};

// The listed attributes and file number of `name`.
ResultCode ListedEntry(HANDLE folder, const std::wstring& name, ULONG& attributes,
                       LARGE_INTEGER& id) noexcept {
    try {
        Listing listing;
        if (const ResultCode code = listing.Open(folder); Failed(code)) return code;
        const ResultCode code = listing.Next(name, true);
        if (code == rc::EndOfEntries) return rc::FileNotFound;
        if (Failed(code)) return code;
        bool found = false;
        listing.ForEach([&](const IdBothDirectoryEntry& entry, const std::wstring& listed) {
            if (found || listed.size() != name.size()) return;
            found = true;
            attributes = entry.fileAttributes;
            id = entry.fileId;
        });
        return found ? rc::Ok : rc::FileNotFound;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

// `name` opened in `folder` as the entry the listing showed: no link, and the same file.
ResultCode OpenListedIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                        bool directory, FileHandle& out) noexcept {
    ULONG listed = 0;
    LARGE_INTEGER id{};
    if (const ResultCode code = ListedEntry(folder, name, listed, id); Failed(code)) return code;
    if (listed & FILE_ATTRIBUTE_REPARSE_POINT) return rc::LinkRefused;
    if (((listed & FILE_ATTRIBUTE_DIRECTORY) != 0) != directory) {
        return directory ? rc::PathNotFound : rc::LinkRefused;
    }
    FileHandle handle;
    const ULONG options = FILE_OPEN_REPARSE_POINT |
                          (directory ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE);
    if (const ResultCode code =
            OpenIn(folder, name, access | FILE_READ_ATTRIBUTES, share, FILE_OPEN, options, handle);
        Failed(code)) {
        return code;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle.Get(), &info)) return ResultFromWin32(GetLastError());
    const bool same = info.nFileIndexLow == id.LowPart &&
                      info.nFileIndexHigh == static_cast<DWORD>(id.HighPart);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !same ||
        (!directory && info.nNumberOfLinks > 1)) {
        return rc::LinkRefused;
    }
    out = std::move(handle);
    return rc::Ok;
}

File Owned(FileHandle& handle) noexcept {
    return File(reinterpret_cast<std::intptr_t>(handle.Release()));
}

}  // namespace

ResultCode OpenFolderNoFollow(const std::wstring& path, File& held) noexcept {
    FileHandle handle;
    if (const ResultCode code = OpenDirectoryNoFollow(path, handle); Failed(code)) return code;
    held = File(reinterpret_cast<std::intptr_t>(handle.Release()));
    return rc::Ok;
}

bool IsAdministratorsFolder(File& folder) noexcept {
    try {
        PSID owner = nullptr;
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (GetSecurityInfo(AsHandle(folder), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
            return false;
        }
        const std::unique_ptr<void, LocalFreer> owned(descriptor);
        FolderSecurity security;
        if (!SidText(owner, security.owner)) return false;
        security.hasDacl = dacl != nullptr;
        for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
            void* ace = nullptr;
            if (!GetAce(dacl, index, &ace)) return false;
            const auto* header = static_cast<const ACE_HEADER*>(ace);
            AccessEntry entry;
            entry.allows = header->AceType != ACCESS_DENIED_ACE_TYPE;
            entry.flags = header->AceFlags;
            if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
                const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
                entry.mask = allowed->Mask;
                if (!SidText(const_cast<DWORD*>(&allowed->SidStart), entry.sid)) return false;
            } else {
                entry.mask = ~0u;  // a kind not read here counts as one that lets anybody in
            }
            security.entries.push_back(std::move(entry));
        }
        return OnlyAdministratorsMayChange(security);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

ResultCode CreateNewIn(File& folder, const std::wstring& name, File& out) noexcept {
    FileHandle handle;
    if (const ResultCode code = OpenIn(AsHandle(folder), name, GENERIC_WRITE, 0, FILE_CREATE,
                                       FILE_NON_DIRECTORY_FILE, handle);
        Failed(code)) {
        return code;
    }
    out = File(reinterpret_cast<std::intptr_t>(handle.Release()));
    return rc::Ok;
}

ResultCode RemoveFileIn(File& folder, const std::wstring& name) noexcept {
    FileHandle handle;
    if (const ResultCode code = OpenListedIn(AsHandle(folder), name, DELETE, 0, false, handle);
        Failed(code)) {
        return code;
    }
    FILE_DISPOSITION_INFORMATION disposition{TRUE};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(handle.Get(), &io, &disposition,
                                                 sizeof disposition, FileDispositionInformation);
    if (status < 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
    return rc::Ok;
}

ResultCode OpenFolder(const std::wstring& root, File& held) noexcept {
    FileHandle handle(CreateFileW(root.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return ResultFromWin32(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle.Get(), &info)) return ResultFromWin32(GetLastError());
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return rc::PathNotFound;
    held = Owned(handle);
    return rc::Ok;
}

ResultCode OpenSubfolderIn(File& folder, const std::wstring& name, File& held) noexcept {
    FileHandle handle;
    if (const ResultCode code = OpenListedIn(AsHandle(folder), name, FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, true, handle);
        Failed(code)) {
        return code;
    }
    held = Owned(handle);
    return rc::Ok;
}

ResultCode ListFilesIn(File& folder, const std::wstring& mask,
                       std::vector<std::wstring>& names) noexcept {
    try {
        Listing listing;
        if (const ResultCode code = listing.Open(AsHandle(folder)); Failed(code)) return code;
        std::vector<std::wstring> found;
        for (bool first = true;; first = false) {
            const ResultCode code = listing.Next(mask, first);
            if (code == rc::EndOfEntries) break;
            if (Failed(code)) return code;
            listing.ForEach([&](const IdBothDirectoryEntry& entry, std::wstring name) {
                if (entry.fileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
                    return;
                }
                found.push_back(std::move(name));
            });
        }
        names = std::move(found);
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode OpenFileIn(File& folder, const std::wstring& name, File& out) noexcept {
    FileHandle handle;
    if (const ResultCode code =
            OpenListedIn(AsHandle(folder), name, GENERIC_READ, FILE_SHARE_READ, false, handle);
        Failed(code)) {
        return code;
    }
    out = Owned(handle);
    return rc::Ok;
}

}  // namespace qor::fs
