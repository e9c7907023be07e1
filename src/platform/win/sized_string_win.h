#pragma once
// Strings from calls that answer the length written, or the size needed when the buffer is
// too small, and 0 on failure.
#include <windows.h>

#include <new>
#include <string>

#include "common/result.h"

namespace qor {

// `query(buffer, size)` is called with a growing buffer until the answer fits.
template <typename Query>
[[nodiscard]] ResultCode QuerySizedString(Query query, std::wstring& out) noexcept {
    try {
        std::wstring buffer(MAX_PATH + 1, L'\0');
        for (;;) {
            const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return ResultFromWin32(GetLastError());
            if (length < buffer.size()) {
                buffer.resize(length);
                out = std::move(buffer);
                return rc::Ok;
            }
            buffer.resize(length);
        }
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
