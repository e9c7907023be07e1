#include "platform/platform_start.h"

namespace qor {

// The operating-system record and the special folders are filled here once they exist;
// until then there is nothing that can fail.
ResultCode StartPlatform() noexcept { return rc::Ok; }

}  // namespace qor
