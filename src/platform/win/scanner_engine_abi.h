#pragma once
// The binary interface of the suite's engine client library "qorclitx.dll": exports named
// "CoreSdkLite..." and an engine object whose first member points at its table of
// operations. Everything is stdcall, the object passed first.
#include <cstdint>

namespace qor::engineabi {

struct EngineObject {
    void* const* operations;
};

inline constexpr int kReleasePlace = 1;
inline constexpr int kQueryInfoPlace = 10;
inline constexpr int kUnregisterPlace = 46;
inline constexpr int kOperationCount = 47;

// The record the query fills: 24 bytes, see diag/suite/scanner_engine_record.h.
inline constexpr std::uint32_t kInfoRecordSize = 24;

using ReleaseFn = std::uint32_t(__stdcall*)(EngineObject* self);
using QueryInfoFn = std::int32_t(__stdcall*)(EngineObject* self, std::uint32_t selector,
                                             void* record);

// "CoreSdkLiteGetInstanceNamespace_V2": stores the instance, possibly null, on success.
using GetInstanceNamespaceFn = std::int32_t(__stdcall*)(EngineObject** instance,
                                                        const wchar_t* name,
                                                        std::uint32_t flags);

}  // namespace qor::engineabi
