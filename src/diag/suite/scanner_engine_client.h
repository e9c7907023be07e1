#pragma once
// The suite's engine client library: loaded from trusted folders or the installation
// directory, its entry points resolved, one engine instance created and queried.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/result.h"
#include "diag/suite/scanner_engine_record.h"

namespace qor {

namespace rc {
// The library created no engine instance.
inline constexpr ResultCode EngineInstanceMissing = SuiteError(0x45);
}  // namespace rc

inline constexpr const wchar_t* kEngineLibraryName = L"qorclitx.dll";
inline constexpr const wchar_t* kEngineInstanceName = L"QorFwCoreSdkNoDelayed";
inline constexpr const char* kEngineCreatorName = "CoreSdkLiteGetInstanceNamespace_V2";

struct EngineEntryPoint {
    const char* name;
    bool required;
};
// Required ones first; only the creator is called.
inline constexpr EngineEntryPoint kEngineEntryPoints[] = {
    {"CoreSdkLiteGetInstance_V2", true},      {"CoreSdkLiteSetLogger", true},
    {"CoreSdkLiteSetBinaryPath", true},       {"CoreSdkLiteSetTempPath", true},
    {"CoreSdkLiteCreateNamespace_V4", false}, {kEngineCreatorName, false},
    {"CoreSdkLiteSetRegistryPath", false},    {"CoreSdkLiteSetLogPath", false},
    {"CoreSdkLiteSetAviLoaderName", false},
};

// One engine instance; released when destroyed.
class EngineInstance {
public:
    virtual ~EngineInstance() = default;
    // Fills the zeroed `record` for `selector`.
    [[nodiscard]] virtual ResultCode QueryInfo(std::uint32_t selector,
                                               EngineInfoBytes& record) noexcept = 0;
};

// One loaded library; unloaded when destroyed.
class EngineLibrary {
public:
    virtual ~EngineLibrary() = default;
    // Looks an export up once; the lookup's code when it is missing.
    [[nodiscard]] virtual ResultCode Resolve(const char* name) noexcept = 0;
    // Calls the resolved creator; `instance` stays empty when the library gives none.
    [[nodiscard]] virtual ResultCode CreateInstance(
        const wchar_t* name, std::uint32_t flags, std::unique_ptr<EngineInstance>& instance) = 0;
};

// Where the library comes from.
class EngineLibrarySource {
public:
    virtual ~EngineLibrarySource() = default;
    // The system folder; empty when unknown.
    virtual std::wstring SystemFolder() = 0;
    // Loads the library at a full path.
    [[nodiscard]] virtual ResultCode Load(const std::wstring& path,
                                          std::unique_ptr<EngineLibrary>& library) = 0;
    [[nodiscard]] virtual ResultCode InstallDirectory(std::wstring& out) = 0;
};

class ScannerEngineClient {
public:
    explicit ScannerEngineClient(EngineLibrarySource& source) : source_(source) {}
    ScannerEngineClient(const ScannerEngineClient&) = delete;
    ScannerEngineClient& operator=(const ScannerEngineClient&) = delete;
    // Releases the instance, then unloads the library.
    ~ScannerEngineClient();

    void Reset() noexcept;
    // Loads the library when needed and creates the instance once; `instance` may be null
    // on success when the library gave none.
    [[nodiscard]] ResultCode GetInstance(EngineInstance*& instance);

private:
    [[nodiscard]] ResultCode LoadLibrary();
    [[nodiscard]] static ResultCode ResolveEntryPoints(EngineLibrary& library, bool& hasCreator);

    EngineLibrarySource& source_;
    std::mutex lock_;
    std::unique_ptr<EngineLibrary> library_;
    std::unique_ptr<EngineInstance> instance_;
    bool hasCreator_ = false;
};

// Three lines, from selectors 0, 0 and 1; a failing query writes none, a time that
// cannot be converted ends the text after the lines before it.
[[nodiscard]] ResultCode DumpScannerEngineVersion(EngineLibrarySource& source, ZoneClock& clock,
                                                  std::wstring& text);

}  // namespace qor
