#include "diag/run/work_directory.h"

#include "common/path_join.h"
#include "common/random.h"
#include "common/text_format.h"
#include "platform/fs.h"
#include "platform/system_env.h"

namespace qor {
namespace {

[[nodiscard]] ResultCode Now(TimeFields& out) noexcept {
    return TimeFieldsFromSystemTime(CurrentSystemTime(), out);
}

}  // namespace

ResultCode GetTempFolder(std::wstring& out) {
    for (const wchar_t* variable : {L"TMP", L"TEMP", L"USERPROFILE"}) {
        std::wstring value;
        if (ReadEnvironmentPath(variable, value) != rc::Ok) continue;
        std::wstring full;
        if (value.empty() || Failed(fs::FullPath(value, full)) || full.empty()) {
            return rc::EmptyFullPath;
        }
        out = std::move(full);
        return rc::Ok;
    }
    return rc::PathNotFound;
}

std::wstring WorkDirectoryName(std::uint32_t number) {
    return FormatText(L"qorfwdiag%u", number);
}

std::wstring PackageName(const TimeFields& utc) {
    return FormatText(L"qorfwdiag_%02u_%02u_%02u_%02u_%02u.tmp", unsigned{utc.year},
                      unsigned{utc.month}, unsigned{utc.day}, unsigned{utc.hour},
                      unsigned{utc.minute});
}

ResultCode NameWorkDirectory(std::wstring& workDirectory) {
    std::wstring temp;
    if (const ResultCode code = GetTempFolder(temp); code != rc::Ok) return code;
    TimeFields now;
    if (const ResultCode code = Now(now); code != rc::Ok) return code;
    workDirectory = CombinePath(temp, WorkDirectoryName(NextRandom() + now.millisecond));
    return rc::Ok;
}

ResultCode NamePackage(const std::wstring& workDirectory, std::wstring& packagePath) {
    if (workDirectory.empty()) return rc::EmptyPath;
    TimeFields now;
    if (const ResultCode code = Now(now); code != rc::Ok) return code;
    packagePath = CombinePath(workDirectory, PackageName(now));
    return rc::Ok;
}

ResultCode CreateWorkDirectory(const std::wstring& workDirectory, fs::File& held) noexcept {
    return fs::MakePrivateDirectory(workDirectory, held);
}

ResultCode RemoveWorkDirectory(const std::wstring& workDirectory, fs::File& held) noexcept {
    if (workDirectory.empty()) return rc::EmptyPath;
    return fs::RemoveTree(workDirectory, held);
}

}  // namespace qor
