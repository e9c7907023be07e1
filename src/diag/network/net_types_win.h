#pragma once
// The system's GUIDs as the dumps hold them.
#include <windows.h>

#include <optional>

#include "diag/network/net_types.h"

namespace qor {

inline Guid GuidFromSystem(const GUID& guid) {
    Guid value;
    value.data1 = guid.Data1;
    value.data2 = guid.Data2;
    value.data3 = guid.Data3;
    for (int i = 0; i < 8; ++i) value.data4[i] = guid.Data4[i];
    return value;
}

}  // namespace qor
