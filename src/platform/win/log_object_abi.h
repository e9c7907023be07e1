#pragma once
// The binary interface of the suite's logging module "qorlogx.dll": two exports and a log
// object whose first member points at its table of operations.
#include <cstdint>

namespace qor::logabi {

struct LogObject {
    void* const* operations;
};

inline constexpr int kIsConfiguredPlace = 2;
inline constexpr int kConfigurePlace = 3;
inline constexpr int kWritePlace = 10;
inline constexpr int kStartPlace = 24;
inline constexpr int kOperationCount = 25;

using IsConfiguredFn = std::int32_t(__stdcall*)(LogObject* self);
using ConfigureFn = std::int32_t(__stdcall*)(LogObject* self, const wchar_t* logFolder);
// One record: severity (0 debug to 3 error), logger name, source module name, message.
using WriteFn = std::int32_t(__stdcall*)(LogObject* self, std::uint32_t severity,
                                         const wchar_t* logger, const wchar_t* source,
                                         const wchar_t* message);
using StartFn = std::int32_t(__stdcall*)(LogObject* self, std::uint32_t argument);

// Exports: "QorGetLogObject" gives the object; "QorReleaseLogObject" takes it back.
using GetLogObjectFn = std::int32_t(__stdcall*)(LogObject** object);
using ReleaseLogObjectFn = void(__stdcall*)(LogObject* object);

}  // namespace qor::logabi
