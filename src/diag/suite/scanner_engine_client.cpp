#include "diag/suite/scanner_engine_client.h"

#include <array>
#include <string_view>

#include "common/path_join.h"

namespace qor {

ScannerEngineClient::~ScannerEngineClient() {
    Reset();
    library_.reset();
}

void ScannerEngineClient::Reset() noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    instance_.reset();
}

ResultCode ScannerEngineClient::GetInstance(EngineInstance*& instance) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!library_) {
        if (const ResultCode code = LoadLibrary(); Failed(code)) return code;
    }
    if (!hasCreator_) return rc::NotSupported;
    if (!instance_) {
        const ResultCode code = library_->CreateInstance(kEngineInstanceName, 0, instance_);
        if (Failed(code)) return code;
    }
    instance = instance_.get();
    return rc::Ok;
}

// By full path only, never along the search order (the program runs elevated, perhaps from
// a folder others can write): the installation directory, then the system folder.
ResultCode ScannerEngineClient::LoadLibrary() {
    std::unique_ptr<EngineLibrary> library;
    std::wstring directory;
    ResultCode code = source_.InstallDirectory(directory);
    if (Succeeded(code) && !IsAbsolutePath(directory)) code = rc::PathNotFound;
    if (Succeeded(code)) code = source_.Load(JoinPath(directory, kEngineLibraryName), library);
    if (Failed(code)) {
        const std::wstring system = source_.SystemFolder();
        if (IsAbsolutePath(system)) {
            code = source_.Load(JoinPath(system, kEngineLibraryName), library);
        }
    }
    if (Failed(code)) return code;

    bool hasCreator = false;
    if (const ResultCode resolved = ResolveEntryPoints(*library, hasCreator); Failed(resolved)) {
        return resolved;
    }
    library_ = std::move(library);
    hasCreator_ = hasCreator;
    return rc::Ok;
}

ResultCode ScannerEngineClient::ResolveEntryPoints(EngineLibrary& library, bool& hasCreator) {
    for (const EngineEntryPoint& entry : kEngineEntryPoints) {
        const ResultCode code = library.Resolve(entry.name);
        if (Failed(code) && entry.required) return code;
        if (Succeeded(code) && std::string_view(entry.name) == kEngineCreatorName) {
            hasCreator = true;
        }
    }
    return rc::Ok;
}

ResultCode DumpScannerEngineVersion(EngineLibrarySource& source, ZoneClock& clock,
                                    std::wstring& text) {
    ScannerEngineClient client(source);
    client.Reset();
    EngineInstance* instance = nullptr;
    if (const ResultCode code = client.GetInstance(instance); Failed(code)) return code;
    if (!instance) return rc::EngineInstanceMissing;

    constexpr std::array<std::uint32_t, 3> kSelectors = {0, 0, 1};
    std::array<EngineInfo, kSelectors.size()> infos;
    for (std::size_t i = 0; i < kSelectors.size(); ++i) {
        EngineInfoBytes record{};
        if (const ResultCode code = instance->QueryInfo(kSelectors[i], record); Failed(code)) {
            return code;
        }
        infos[i] = ReadEngineInfo(record);
    }
    for (const EngineInfo& info : infos) {
        std::wstring line;
        if (const ResultCode code = FormatEngineLine(info, clock, line); Failed(code)) return code;
        text += line;
    }
    return rc::Ok;
}

}  // namespace qor
