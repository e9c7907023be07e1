#include "diag/run/report_page_file.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <new>
#include <vector>

#include "common/path_join.h"
#include "common/time_fields.h"
#include "diag/run/report_text.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {
namespace {

// A few bytes past the cut, so that a character the cut would split is seen whole.
constexpr std::size_t kReadBytes = kPageCutBytes + 4;

ResultCode ReadHead(const std::wstring& path, PageDump& dump) {
    fs::File file;
    fs::FileInfo info;
    if (const ResultCode code = fs::OpenForReading(path, file); Failed(code)) return code;
    if (const ResultCode code = file.Info(info); Failed(code)) return code;
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(info.size, kReadBytes)), '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        std::uint32_t read = 0;
        const ResultCode code = file.Read(bytes.data() + filled,
                                          static_cast<std::uint32_t>(bytes.size() - filled), read);
        if (Failed(code)) return code;
        if (read == 0) break;
        filled += read;
    }
    bytes.resize(filled);
    bytes.resize(TextCutPoint(bytes, kPageCutBytes));
    dump.size = info.size;
    dump.head = std::move(bytes);
    return rc::Ok;
}

void ListFile(const std::wstring& path, std::wstring relative, PageContent& content) {
    if (content.files.size() >= kMaxListedFiles) {
        ++content.filesLeftOut;
        return;
    }
    PageFile listed{std::move(relative), 0, kNoSystemTime};
    fs::File file;
    fs::FileInfo info;
    if (Succeeded(fs::OpenForReading(path, file)) && Succeeded(file.Info(info))) {
        listed.size = info.size;
        listed.lastWriteTime = info.lastWriteTime;
    }
    content.files.push_back(std::move(listed));
}

// Every file below the folders of the work directory, without recursion.
void ListFolders(const std::wstring& workDirectory, std::vector<std::wstring> folders,
                 PageContent& content) {
    while (!folders.empty()) {
        const std::wstring relative = std::move(folders.back());
        folders.pop_back();
        fs::DirectoryEnumerator entries;
        if (Failed(entries.Open(JoinPath(workDirectory, relative), L"*",
                                fs::kinds::Files | fs::kinds::Directories))) {
            continue;
        }
        fs::DirectoryEntry entry;
        while (entries.Next(entry) == rc::Ok) {
            std::wstring path = JoinPath(relative, entry.name);
            if (entry.attributes & fs::attr::Directory) {
                folders.push_back(std::move(path));
            } else {
                ListFile(entry.fullPath, std::move(path), content);
            }
        }
    }
}

bool NameBefore(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) {
                                            return std::towlower(static_cast<wint_t>(x)) <
                                                   std::towlower(static_cast<wint_t>(y));
                                        });
}

}  // namespace

ResultCode ReadPageContent(const std::wstring& workDirectory, PageContent& content) {
    fs::DirectoryEnumerator entries;
    if (const ResultCode code = entries.Open(workDirectory, L"*",
                                             fs::kinds::Files | fs::kinds::Directories);
        Failed(code)) {
        return code;
    }
    std::vector<std::wstring> folders;
    fs::DirectoryEntry entry;
    ResultCode code = rc::Ok;
    while ((code = entries.Next(entry)) == rc::Ok) {
        if (entry.attributes & fs::attr::Directory) {
            folders.push_back(entry.name);
        } else if (entry.name != kReportPageName) {
            PageDump dump;
            dump.name = entry.name;
            dump.readCode = ReadHead(entry.fullPath, dump);
            content.dumps.push_back(std::move(dump));
        }
    }
    if (code != rc::EndOfEntries) return code;
    ListFolders(workDirectory, std::move(folders), content);
    std::sort(content.dumps.begin(), content.dumps.end(),
              [](const PageDump& a, const PageDump& b) { return NameBefore(a.name, b.name); });
    std::sort(content.files.begin(), content.files.end(),
              [](const PageFile& a, const PageFile& b) { return NameBefore(a.path, b.path); });
    return rc::Ok;
}

ResultCode WriteReportPage(const std::wstring& workDirectory, const std::wstring& installDirectory,
                           const PageSystem& system) noexcept {
    try {
        PageContent content;
        content.installDirectory = installDirectory;
        if (system.now) content.madeAt = system.now();
        if (const ResultCode code = ReadPageContent(workDirectory, content); Failed(code)) {
            return code;
        }
        const std::string page = BuildReportPage(content, system.errorText);
        if (page.size() > UINT32_MAX) return rc::BadLength;
        const std::wstring path = JoinPath(workDirectory, kReportPageName);
        fs::File file;
        if (const ResultCode code = fs::CreateNew(path, file); Failed(code)) return code;
        std::uint32_t written = 0;
        const ResultCode code =
            file.Write(page.data(), static_cast<std::uint32_t>(page.size()), written);
        if (Failed(code)) {  // no half page in the package
            file.Close();
            (void)fs::RemoveFile(path);
            return code;
        }
        (void)file.Flush();
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
