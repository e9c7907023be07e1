#pragma once
// The process list: one record of five image names per running process.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/result.h"
#include "platform/os_version.h"

namespace qor {

inline constexpr std::size_t kFirstProcessIdCount = 1024;
// The identifier array grows while the system fills it completely, up to this many entries.
inline constexpr std::size_t kMaxProcessIdCount = std::size_t{1} << 18;

inline constexpr const wchar_t* kUnknownName = L"<unknown>";
inline constexpr const wchar_t* kSystemProcessName = L"SYSTEM";

// An opened process and its first module (the executable). A query answers false when it
// fails; `out` is then left alone.
class ProcessImage {
public:
    virtual ~ProcessImage() = default;
    virtual bool ModuleFileName(std::wstring& out) noexcept = 0;
    virtual bool ImageFileName(std::wstring& out) noexcept = 0;
    virtual bool ModuleBaseName(std::wstring& out) noexcept = 0;
    virtual bool FullImageName(bool native, std::wstring& out) noexcept = 0;
};

// What the process list needs of the system.
class ProcessQueries {
public:
    virtual ~ProcessQueries() = default;
    // Fills `ids` from the start; `count` is the number of entries filled.
    [[nodiscard]] virtual ResultCode Enumerate(std::span<std::uint32_t> ids,
                                               std::size_t& count) noexcept = 0;
    // Null when the process cannot be opened or its first module not found.
    virtual std::unique_ptr<ProcessImage> Open(std::uint32_t id) noexcept = 0;
    // The optional queries: the device-form image name, and the full image names.
    virtual bool HasImageFileName() const noexcept = 0;
    virtual bool HasFullImageName() const noexcept = 0;
};

struct OptionalProcessQueries {
    bool imageFileName = false;  // from 5.1
    bool fullImageName = false;  // from 6.0
};

// Which optional queries the system has, by its version; none while the record is unfilled.
OptionalProcessQueries OptionalProcessQueriesFor(const OsVersionRecord& os) noexcept;

// The record of one process: "id:", a dash line, the five names, an equals line, an empty line.
[[nodiscard]] ResultCode AppendProcessRecord(ProcessQueries& system, std::wstring& text,
                                             std::uint32_t id) noexcept;

// One record per process in the system's order (identifier 0 has none). Fails only when the
// enumeration fails (`text` untouched) or the system lists more than kMaxProcessIdCount
// processes (then the first kMaxProcessIdCount are listed).
[[nodiscard]] ResultCode DumpProcessList(ProcessQueries& system, std::wstring& text) noexcept;

}  // namespace qor
