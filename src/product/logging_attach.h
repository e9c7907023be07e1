#pragma once
#include <cstdint>
#include <string>

#include "common/result.h"
#include "product/install_lookup.h"

namespace qor {

// The suite's logging module and its log object, which lie outside the program.
class LoggingModule {
public:
    virtual ~LoggingModule() = default;
    virtual bool IsLoaded() = 0;
    // Loads the module from `folder` and obtains its log object.
    [[nodiscard]] virtual ResultCode Load(const std::wstring& folder) = 0;
    virtual bool IsConfigured() = 0;
    [[nodiscard]] virtual ResultCode Configure(const std::wstring& logFolder) = 0;
    [[nodiscard]] virtual ResultCode Start(std::uint32_t argument) = 0;
};

// Loads and configures the logging module; the program runs the same when this fails.
[[nodiscard]] ResultCode AttachLoggingModule(ProductInstallation& installation,
                                             LoggingModule& module);

}  // namespace qor
