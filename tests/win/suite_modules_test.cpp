// The module manager with the system loader, against the testbed's configuration module
// built with each set of exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "product/module_loader_win.h"
#include "product/suite_module_abi_win.h"
#include "unit/support/test_env.h"

namespace qor {
namespace {

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// The variant copied in as "qorcfgx.dll"; answers the creation's code and the calls recorded.
ResultCode CreateWith(const test::ScratchDirectory& dir, const char* variant, std::string& calls) {
    if (variant) {
        EXPECT_TRUE(CopyFileW(Widen(variant).c_str(), (dir / L"qorcfgx.dll").c_str(), FALSE));
    }
    ResultCode code;
    {
        WinModuleLoader loader;
        SuiteModuleManager manager(loader);
        manager.SetDirectory(dir.Path());
        void* object = nullptr;
        code = manager.CreateObject(iid::Configuration, &object);
        if (Succeeded(code)) {
            EXPECT_NE(object, nullptr);
            const ModuleObjectRef release(object);
        }
    }
    calls = GetFileAttributesW((dir / L"qorcfgx-calls.txt").c_str()) == INVALID_FILE_ATTRIBUTES
                ? ""
                : test::ReadBytes(dir / L"qorcfgx-calls.txt");
    return code;
}

TEST(SuiteModulesWin, FactoryAndHooksOfEachVariant) {
    struct Case {
        const char* variant;
        const char* calls;
    } cases[] = {
        {QOR_TESTBED_CFG, "init\nget-object2 16\nrelease configuration\nfinish\n"},
        {QOR_TESTBED_CFG_LEGACY,
         "init\nget-object bda9c642 f049856a 67654091 a8988f4e\nrelease configuration\nfinish\n"},
        {QOR_TESTBED_CFG_INITONLY, "get-object2 16\nrelease configuration\n"},
    };
    for (const Case& c : cases) {
        test::ScratchDirectory dir;
        std::string calls;
        EXPECT_EQ(CreateWith(dir, c.variant, calls), rc::Ok) << c.variant;
        EXPECT_EQ(calls, c.calls) << c.variant;
    }
}

TEST(SuiteModulesWin, MissingOrInvalidModuleGivesTheLoadersCode) {
    test::ScratchDirectory dir;
    std::string calls;
    EXPECT_EQ(CreateWith(dir, nullptr, calls), rc::PathNotFound);  // module not found
    test::WriteBytes(dir / L"qorcfgx.dll", "not a module");
    const ResultCode invalid = CreateWith(dir, nullptr, calls);
    EXPECT_TRUE(Failed(invalid)) << std::hex << invalid;
}

}  // namespace
}  // namespace qor
