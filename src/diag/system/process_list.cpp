#include "diag/system/process_list.h"

#include <array>
#include <new>
#include <vector>

#include "common/text_format.h"

namespace qor {
namespace {

using ProcessNames = std::array<std::wstring, 5>;

// The identifiers the supported systems give their own system processes.
bool IsSystemProcess(std::uint32_t id) noexcept { return id == 0 || id == 4 || id == 8; }

// A failed or empty query leaves `field` as it is.
template <typename Query>
void Ask(std::wstring& field, Query query) {
    std::wstring name;
    if (query(name) && !name.empty()) field = std::move(name);
}

ProcessNames QueryNames(ProcessQueries& system, std::uint32_t id) {
    ProcessNames names;
    if (IsSystemProcess(id)) {
        names[0] = kSystemProcessName;
        return names;
    }
    const std::unique_ptr<ProcessImage> image = system.Open(id);
    if (!image) {
        names.fill(kUnknownName);
        return names;
    }
    names[0] = kUnknownName;
    Ask(names[0], [&](std::wstring& out) { return image->ModuleFileName(out); });
    if (system.HasImageFileName()) {
        names[1] = kUnknownName;
        Ask(names[1], [&](std::wstring& out) { return image->ImageFileName(out); });
    }
    Ask(names[2], [&](std::wstring& out) { return image->ModuleBaseName(out); });
    if (system.HasFullImageName()) {
        Ask(names[3], [&](std::wstring& out) { return image->FullImageName(true, out); });
        Ask(names[4], [&](std::wstring& out) { return image->FullImageName(false, out); });
    }
    return names;
}

// The identifiers, in an array grown while the system fills it completely; `complete` is
// false when the largest array was still full.
ResultCode EnumerateIds(ProcessQueries& system, std::vector<std::uint32_t>& ids,
                        bool& complete) {
    for (std::size_t size = kFirstProcessIdCount;; size *= 2) {
        ids.assign(size, 0);
        std::size_t count = 0;
        if (const ResultCode code = system.Enumerate(ids, count); Failed(code)) return code;
        complete = count < size;
        if (complete || size >= kMaxProcessIdCount) {
            ids.resize(count < size ? count : size);
            return rc::Ok;
        }
    }
}

}  // namespace

OptionalProcessQueries OptionalProcessQueriesFor(const OsVersionRecord& os) noexcept {
    if (!os.filled) return {};
    return {os.majorVersion > 5 || (os.majorVersion == 5 && os.minorVersion >= 1),
            os.majorVersion > 5};
}

ResultCode AppendProcessRecord(ProcessQueries& system, std::wstring& text,
                               std::uint32_t id) noexcept {
    try {
        const ProcessNames names = QueryNames(system, id);
        const std::wstring record =
            FormatText(L"%i:\n----------\n%ls\n%ls\n%ls\n%ls\n%ls\n===========\n\n",
                       static_cast<int>(id), names[0].c_str(), names[1].c_str(),
                       names[2].c_str(), names[3].c_str(), names[4].c_str());
        if (record.empty()) return rc::OutOfMemory;
        text += record;
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

ResultCode DumpProcessList(ProcessQueries& system, std::wstring& text) noexcept {
    try {
        std::vector<std::uint32_t> ids;
        bool complete = false;
        if (const ResultCode code = EnumerateIds(system, ids, complete); Failed(code)) {
            return code;
        }
        for (const std::uint32_t id : ids) {
            if (id == 0) continue;
            (void)AppendProcessRecord(system, text, id);  // that process just has no record
        }
        return complete ? rc::Ok : rc::BufferTooSmall;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
