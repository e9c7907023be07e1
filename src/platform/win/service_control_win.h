#pragma once
// The service manager of this computer behind the service-start logic.
#include <memory>
#include <string>

#include "platform/service_start.h"

namespace qor {

class LocalServiceManager final : public ServiceManager {
public:
    [[nodiscard]] ResultCode Open(const std::wstring& name,
                                  std::unique_ptr<ServiceControl>& service) noexcept override;
};

// StartServiceAndWait on this computer's service manager.
[[nodiscard]] Result StartServiceAndWait(const std::wstring& name);

}  // namespace qor
