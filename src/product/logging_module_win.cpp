#include "product/logging_module_win.h"

#include "common/path_join.h"
#include "platform/win/library_load_win.h"
#include "platform/win/proc_address_win.h"

namespace qor {

WinLoggingModule::~WinLoggingModule() {
    if (object_ && release_) release_(object_);
}

ResultCode WinLoggingModule::Load(const std::wstring& folder) {
    const std::wstring path = JoinPath(folder, L"qorlogx.dll");
    LibraryHandle library(LoadLibraryAtPath(path));
    if (!library) return ResultFromWin32(GetLastError());
    const auto get = LookupExport<logabi::GetLogObjectFn>(library.Get(), "QorGetLogObject");
    if (!get) return ResultFromWin32(GetLastError());
    const auto release = LookupExport<logabi::ReleaseLogObjectFn>(library.Get(), "QorReleaseLogObject");
    if (!release) return ResultFromWin32(GetLastError());

    logabi::LogObject* object = nullptr;
    if (const ResultCode code = get(&object); Failed(code)) return code;
    if (!object || !object->operations) return rc::ArgumentMissing;
    library_ = std::move(library);
    release_ = release;
    object_ = object;
    return rc::Ok;
}

template <typename Fn>
Fn WinLoggingModule::Operation(int place) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(object_->operations[place]));
}

bool WinLoggingModule::IsConfigured() {
    const auto isConfigured = Operation<logabi::IsConfiguredFn>(logabi::kIsConfiguredPlace);
    return isConfigured && isConfigured(object_) != 0;
}

ResultCode WinLoggingModule::Configure(const std::wstring& logFolder) {
    const auto configure = Operation<logabi::ConfigureFn>(logabi::kConfigurePlace);
    return configure ? configure(object_, logFolder.c_str()) : rc::NotSupported;
}

ResultCode WinLoggingModule::Start(std::uint32_t argument) {
    const auto start = Operation<logabi::StartFn>(logabi::kStartPlace);
    return start ? start(object_, argument) : rc::NotSupported;
}

void WinLoggingModule::Write(LogSeverity severity, const wchar_t* logger, const wchar_t* source,
                             const std::wstring& message) noexcept {
    if (!object_) return;
    const auto write = Operation<logabi::WriteFn>(logabi::kWritePlace);
    if (write) (void)write(object_, static_cast<std::uint32_t>(severity), logger, source, message.c_str());
}

}  // namespace qor
