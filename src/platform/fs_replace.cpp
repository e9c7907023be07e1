// Content replaced through a new file beside the old one.
#include "common/random.h"
#include "common/text_format.h"
#include "platform/fs.h"

namespace qor::fs {
namespace {

constexpr int kNameAttempts = 16;
// ERROR_ALREADY_EXISTS and ERROR_FILE_EXISTS both read as an existing object.
constexpr ResultCode kAlreadyExists = SuiteError(0x4F);

// A file of a fresh name in the folder of `path`.
ResultCode CreateBeside(const std::wstring& path, std::wstring& name, File& out) noexcept {
    ResultCode result = kAlreadyExists;
    for (int attempt = 0; attempt < kNameAttempts && result == kAlreadyExists; ++attempt) {
        name = path + FormatText(L".%08x.tmp", NextRandom());
        result = CreateNew(name, out);
    }
    return result;
}

}  // namespace

ResultCode ReplaceContents(const std::wstring& path, const ContentWriter& write) noexcept {
    std::wstring temporary;
    File file;
    if (const ResultCode created = CreateBeside(path, temporary, file); Failed(created)) {
        return created;
    }
    ResultCode result = write(file);
    if (Succeeded(result)) result = file.Flush();
    file.Close();
    if (Succeeded(result)) result = ReplaceFileWith(path, temporary);
    if (Failed(result)) (void)RemoveFile(temporary);
    return result;
}

}  // namespace qor::fs
