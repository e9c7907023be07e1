#pragma once
#include <windows.h>

#include "product/log_sink.h"
#include "product/logging_attach.h"
#include "platform/win/log_object_abi.h"
#include "platform/win/unique_handle_win.h"

namespace qor {

// "qorlogx.dll" loaded from a folder; the module and its log object are released together.
// Records written while no module is loaded are dropped.
class WinLoggingModule final : public LoggingModule, public LogSink {
public:
    WinLoggingModule() = default;
    WinLoggingModule(const WinLoggingModule&) = delete;
    WinLoggingModule& operator=(const WinLoggingModule&) = delete;
    ~WinLoggingModule() override;

    bool IsLoaded() override { return object_ != nullptr; }
    [[nodiscard]] ResultCode Load(const std::wstring& folder) override;
    bool IsConfigured() override;
    [[nodiscard]] ResultCode Configure(const std::wstring& logFolder) override;
    [[nodiscard]] ResultCode Start(std::uint32_t argument) override;
    void Write(LogSeverity severity, const wchar_t* logger, const wchar_t* source,
               const std::wstring& message) noexcept override;

private:
    template <typename Fn>
    Fn Operation(int place) const;

    LibraryHandle library_;
    logabi::ReleaseLogObjectFn release_ = nullptr;
    logabi::LogObject* object_ = nullptr;
};

}  // namespace qor
