#include "diag/suite/scanner_engine_win.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "diag/suite/scanner_engine_client.h"
#include "platform/win/library_load_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/scanner_engine_abi.h"
#include "platform/win/unique_handle_win.h"
#include "product/install_sources_win.h"
#include "product/product_constants.h"

namespace qor {
namespace {

static_assert(engineabi::kInfoRecordSize == kEngineInfoSize);

template <typename Fn>
Fn Operation(engineabi::EngineObject* object, int place) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(object->operations[place]));
}

class WinEngineInstance final : public EngineInstance {
public:
    explicit WinEngineInstance(engineabi::EngineObject* object) noexcept : object_(object) {}
    ~WinEngineInstance() override {
        const auto release = Operation<engineabi::ReleaseFn>(object_, engineabi::kReleasePlace);
        if (release) release(object_);
    }
    WinEngineInstance(const WinEngineInstance&) = delete;
    WinEngineInstance& operator=(const WinEngineInstance&) = delete;

    ResultCode QueryInfo(std::uint32_t selector, EngineInfoBytes& record) noexcept override {
        const auto query = Operation<engineabi::QueryInfoFn>(object_, engineabi::kQueryInfoPlace);
        return query ? query(object_, selector, record.data()) : rc::NotSupported;
    }

private:
    engineabi::EngineObject* object_;
};

class WinEngineLibrary final : public EngineLibrary {
public:
    explicit WinEngineLibrary(LibraryHandle module) noexcept : module_(std::move(module)) {}

    ResultCode Resolve(const char* name) noexcept override {
        const auto address = LookupExport<void (*)()>(module_.Get(), name);
        if (!address) return ResultFromWin32(GetLastError());
        if (std::string_view(name) == kEngineCreatorName) {
            creator_ = reinterpret_cast<engineabi::GetInstanceNamespaceFn>(address);
        }
        return rc::Ok;
    }

    // An object without a table of operations counts as no instance.
    ResultCode CreateInstance(const wchar_t* name, std::uint32_t flags,
                              std::unique_ptr<EngineInstance>& instance) override {
        if (!creator_) return rc::NotSupported;
        engineabi::EngineObject* object = nullptr;
        if (const ResultCode code = creator_(&object, name, flags); Failed(code)) return code;
        if (object && object->operations) instance = std::make_unique<WinEngineInstance>(object);
        return rc::Ok;
    }

private:
    LibraryHandle module_;
    engineabi::GetInstanceNamespaceFn creator_ = nullptr;
};

class WinEngineSource final : public EngineLibrarySource {
public:
    std::wstring SystemFolder() override { return qor::SystemFolder(); }

    ResultCode Load(const std::wstring& path, std::unique_ptr<EngineLibrary>& library) override {
        LibraryHandle module(LoadLibraryAtPath(path));
        if (!module) return ResultFromWin32(GetLastError());
        library = std::make_unique<WinEngineLibrary>(std::move(module));
        return rc::Ok;
    }

    ResultCode InstallDirectory(std::wstring& out) override {
        return ProcessInstallation().LookupProductDirectory(product_dir::Program, out,
                                                            std::nullopt, ProductGeneration);
    }
};

// The zone rules of the stored instant's date, not only today's. Both sides go through
// SYSTEMTIME, which keeps whole milliseconds only, so the difference stays exact.
class WinZoneClock final : public ZoneClock {
public:
    ResultCode LocalBias(std::int64_t utc, std::int64_t& bias) noexcept override {
        SYSTEMTIME universal{};
        SYSTEMTIME local{};
        const FILETIME stored = ToFileTime(utc);
        FILETIME universalTime{};
        FILETIME localTime{};
        if (!FileTimeToSystemTime(&stored, &universal) ||
            !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) ||
            !SystemTimeToFileTime(&universal, &universalTime) ||
            !SystemTimeToFileTime(&local, &localTime)) {
            return ResultFromWin32(GetLastError());
        }
        bias = FromFileTime(localTime) - FromFileTime(universalTime);
        return rc::Ok;
    }

private:
    static FILETIME ToFileTime(std::int64_t value) noexcept {
        const auto bits = static_cast<std::uint64_t>(value);
        return FILETIME{static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
    }
    static std::int64_t FromFileTime(const FILETIME& time) noexcept {
        return static_cast<std::int64_t>(std::uint64_t{time.dwHighDateTime} << 32 |
                                         time.dwLowDateTime);
    }
};

}  // namespace

ResultCode DumpScannerEngineVersion(std::wstring& text) {
    WinEngineSource source;
    WinZoneClock clock;
    return DumpScannerEngineVersion(source, clock, text);
}

}  // namespace qor
