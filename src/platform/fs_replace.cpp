// Content replaced through a new file beside the old one.
#include "common/random.h"
#include "common/text_format.h"
#include "platform/fs.h"
#include "platform/replace_steps.h"

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

// `target` is gone after a failed replace: its old file back from the backup, else the new one
// in its place (a success). Neither: both files stay for the user to find.
ResultCode PutBackEitherFile(ReplaceCalls& calls, const std::wstring& target,
                             const std::wstring& replacement, const std::wstring& backup,
                             ResultCode failure) noexcept {
    if (calls.Exists(backup) && Succeeded(calls.Move(backup, target))) {
        calls.Remove(replacement);
        return failure;
    }
    if (Succeeded(calls.Move(replacement, target))) {
        calls.Remove(backup);
        return rc::Ok;
    }
    return failure;
}

}  // namespace

ResultCode ReplaceThroughBackup(ReplaceCalls& calls, const std::wstring& target,
                                const std::wstring& replacement,
                                const std::wstring& backup) noexcept {
    const ResultCode result = calls.Replace(target, replacement, backup);
    if (Succeeded(result)) {
        calls.Remove(backup);
        return rc::Ok;
    }
    const bool targetThere = calls.Exists(target);
    if (result == ResultFromWin32(kErrorFileNotFound) && !targetThere && !calls.Exists(backup)) {
        // Nothing to replace: the new file only takes the name.
        const ResultCode moved = calls.Move(replacement, target);
        if (Failed(moved)) calls.Remove(replacement);
        return moved;
    }
    if (!targetThere) return PutBackEitherFile(calls, target, replacement, backup, result);
    // The old file never left its name.
    calls.Remove(replacement);
    return result;
}

ResultCode ReplaceContents(const std::wstring& path, const ContentWriter& write) noexcept {
    std::wstring temporary;
    File file;
    if (const ResultCode created = CreateBeside(path, temporary, file); Failed(created)) {
        return created;
    }
    ResultCode result = write(file);
    if (Succeeded(result)) result = file.Flush();
    file.Close();
    if (Failed(result)) {
        (void)RemoveFile(temporary);
        return result;
    }
    return ReplaceFileWith(path, temporary);
}

}  // namespace qor::fs
