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

ResultCode WorkDirectoryBases(std::vector<std::wstring>& out) {
    std::vector<std::wstring> bases;
    std::wstring system;
    if (SystemTempFolder(system) == rc::Ok) bases.push_back(std::move(system));
    std::wstring temp;
    const ResultCode code = GetTempFolder(temp);
    if (code == rc::Ok) bases.push_back(std::move(temp));
    if (bases.empty()) return code;
    out = std::move(bases);
    return rc::Ok;
}

std::uint32_t DrawWorkNumber() noexcept {
    TimeFields now;
    const std::uint32_t millisecond = Now(now) == rc::Ok ? now.millisecond : 0;
    return NextRandom() + millisecond;
}

ResultCode NamePackage(const std::wstring& workDirectory, std::wstring& packagePath) {
    if (workDirectory.empty()) return rc::EmptyPath;
    TimeFields now;
    if (const ResultCode code = Now(now); code != rc::Ok) return code;
    packagePath = CombinePath(workDirectory, PackageName(now));
    return rc::Ok;
}

ResultCode CreateWorkDirectory(const std::vector<std::wstring>& bases, const NameDraw& draw,
                               std::wstring& workDirectory, fs::File& held) {
    ResultCode code = rc::PathNotFound;
    for (const std::wstring& base : bases) {
        for (int draws = 0; draws < kMaxNameDraws; ++draws) {
            std::wstring path = CombinePath(base, WorkDirectoryName(draw()));
            code = fs::MakePrivateDirectory(path, held);
            if (code == rc::Ok) {
                workDirectory = std::move(path);
                return rc::Ok;
            }
            if (code != rc::AlreadyExists) break;
        }
    }
    return code;
}

ResultCode RemoveWorkDirectory(const std::wstring& workDirectory, fs::File& held) noexcept {
    if (workDirectory.empty()) return rc::EmptyPath;
    return fs::RemoveTree(workDirectory, held);
}

}  // namespace qor
