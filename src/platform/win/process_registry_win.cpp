#include "platform/win/process_registry_win.h"

#include "platform/win/registry_key_win.h"

namespace qor {

RegistryReader& ProcessRegistry() {
    static WinRegistryReader reader;
    return reader;
}

}  // namespace qor
