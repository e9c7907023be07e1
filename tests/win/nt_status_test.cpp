// Error conversion against the system's own status table and last-error values.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/result.h"

namespace qor {
namespace {

TEST(ResultFromNtStatus, UsesTheSystemConversion) {
    EXPECT_EQ(ResultFromNtStatus(0), 0);
    EXPECT_EQ(ResultFromNtStatus(0x80000005), rc::BufferTooSmall);
    EXPECT_EQ(ResultFromNtStatus(0xC0000034), rc::FileNotFound);       // object name not found
    EXPECT_EQ(ResultFromNtStatus(0xC000003A), rc::PathNotFound);       // object path not found
    EXPECT_EQ(ResultFromNtStatus(0xC0000022), SuiteError(0x58));       // access denied
    EXPECT_EQ(ResultFromNtStatus(0xC0000010), rc::InvalidFunction);    // invalid device request
    EXPECT_EQ(ResultFromNtStatus(0x80000006), static_cast<ResultCode>(0xA0010046));  // no more files
}

TEST(ResultFromWin32, LastErrorOfRealCalls) {
    SetLastError(0xDEADBEEF);
    const HANDLE file = CreateFileW(L"C:\\no-such-folder-qor\\x.txt", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ResultFromWin32(GetLastError()), rc::PathNotFound);

    SetLastError(0xDEADBEEF);
    ASSERT_EQ(LoadLibraryW(L"qor-no-such-module.dll"), nullptr);
    EXPECT_EQ(ResultFromWin32(GetLastError()), rc::PathNotFound);  // missing module
}

}  // namespace
}  // namespace qor
