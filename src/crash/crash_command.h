#pragma once
// What the crash handling hands the dump tool: the request and its command line.
// Formatting uses no heap, so the heap-corruption path can use it.
#include <cstddef>
#include <cstdint>

namespace qor {

struct CrashDumpRequest {
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
    std::uintptr_t exceptionPointers = 0;  // address in the crashing process
    std::uintptr_t event = 0;              // handle value; 0 when there is none
    std::uint32_t flavour = 0;             // 0 "-D _qor", 1 "-D admin", else no switch
    bool quiet = false;                    // adds " -q"
    bool native = false;                   // the native tool, started by the native call
};

// Process-wide settings of the crash handling; null texts are unset.
struct CrashSettings {
    std::uint32_t flavour = 0;
    bool quiet = false;
    const wchar_t* toolPath = nullptr;
    const wchar_t* extraArguments = nullptr;
};

inline constexpr std::size_t kCrashCommandChars = 260;
inline constexpr std::uint32_t kDumpToolWaitMs = 300000;
inline constexpr wchar_t kDumpToolFile[] = L"qordumpx.exe";
inline constexpr wchar_t kNativeDumpToolFile[] = L"qorntdumpx.exe";

// The tool's command line: "\"TOOL\" -p 0x%x -c 0x%x 0x%p -e 0x%p FLAVOUR QUIET EXTRA", or with
// native "." in place of the quoted tool. Addresses are written as the runtime's %p writes a
// pointer of `pointerBytes` bytes. False, with `out` empty, when the text does not fit.
[[nodiscard]] bool FormatCrashDumpCommand(const CrashDumpRequest& request,
                                          const CrashSettings& settings,
                                          std::size_t pointerBytes,
                                          wchar_t (&out)[kCrashCommandChars]) noexcept;

// The code and information words of a raised exception.
struct RaisedException {
    std::uint32_t code = 0;
    std::size_t wordCount = 0;
    const std::uintptr_t* words = nullptr;
};

inline constexpr std::uint32_t kPlatformCxxExceptionCode = 0xE06D7363;
inline constexpr std::uintptr_t kPlatformCxxMagic = 0x19930522;

// For a platform C++ exception (code, magic, thrown object, throw information) whose throw
// information is `hwThrowInfo`, the thrown object; otherwise null.
[[nodiscard]] const void* ThrownObjectWithInfo(const RaisedException& raised,
                                               const void* hwThrowInfo) noexcept;

}  // namespace qor
