#include "product/suite_modules.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "common/error_record.h"

namespace qor {
namespace {

void Init() {}
void Finish() {}
void Factory() {}

// A loader whose modules are described by the exports they have; every call is recorded.
struct FakeLoader final : ModuleLoader {
    ResultCode Ready() noexcept override { return readyCode; }
    ResultCode Load(const std::wstring& path, ModuleHandle& out) noexcept override {
        calls.push_back(L"load " + path);
        if (Failed(loadCode)) return loadCode;
        out = &handle;
        return rc::Ok;
    }
    ModuleExport Find(ModuleHandle, const char* name) noexcept override {
        const std::string n = name;
        if (!exports.contains(n)) return nullptr;
        if (n == kInitExport) return &Init;
        if (n == kFinishExport) return &Finish;
        return &Factory;
    }
    void Unload(ModuleHandle) noexcept override { calls.push_back(L"unload"); }
    ResultCode CallFactory(ModuleExport, FactoryKind kind, const InterfaceId&, void** out) noexcept override {
        calls.push_back(kind == FactoryKind::IdByPointer ? L"factory by pointer" : L"factory by value");
        if (Succeeded(factoryCode)) *out = &object;
        return factoryCode;
    }
    void CallHook(ModuleExport hook) noexcept override {
        calls.push_back(hook == &Init ? L"init" : hook == &Finish ? L"finish" : L"?");
    }

    std::set<std::string> exports{kFactoryExport, kInitExport, kFinishExport};
    ResultCode readyCode = rc::Ok, loadCode = rc::Ok, factoryCode = rc::Ok;
    std::vector<std::wstring> calls;
    int handle = 0, object = 0;
};

TEST(SuiteModuleManager, ExportsDecideFactoryAndHooks) {
    const std::string v2 = kFactoryExport, v1 = kLegacyFactoryExport;
    const std::string init = kInitExport, finish = kFinishExport;
    struct Case {
        std::set<std::string> exports;
        ResultCode code;
        std::vector<std::wstring> calls;  // through the manager's end
    } cases[] = {
        {{v2, v1, init, finish}, rc::Ok,
         {L"init", L"factory by pointer", L"finish", L"unload"}},
        {{v1}, rc::Ok, {L"factory by value", L"unload"}},
        {{v2, init}, rc::Ok, {L"factory by pointer", L"unload"}},
        {{v2, finish}, rc::Ok, {L"factory by pointer", L"unload"}},
        {{init, finish}, static_cast<ResultCode>(0xE001003C), {L"unload"}},
    };
    for (const Case& c : cases) {
        FakeLoader loader;
        loader.exports = c.exports;
        void* out = nullptr;
        {
            SuiteModuleManager manager(loader);
            manager.SetDirectory(L"C:\\PF\\QOR");
            EXPECT_EQ(manager.CreateObject(iid::Configuration, &out), c.code);
            EXPECT_EQ(out, Succeeded(c.code) ? &loader.object : nullptr);
        }
        std::vector<std::wstring> expected{L"load C:\\PF\\QOR\\qorcfgx.dll"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(loader.calls, expected) << c.exports.size();
    }
}

TEST(SuiteModuleManager, FailuresLeaveTheOutputAlone) {
    const InterfaceId unknown{{1, 2, 3}};
    struct Case {
        const InterfaceId* id;
        ResultCode load, factory, expected;
        std::size_t calls;
    } cases[] = {
        {&unknown, rc::Ok, rc::Ok, rc::ArgumentMissing, 0},  // nothing loaded
        {&iid::Communication, rc::PathNotFound, rc::Ok, rc::PathNotFound, 1},
        {&iid::Communication, rc::Ok, rc::FileNotFound, rc::FileNotFound, 5},
    };
    for (const Case& c : cases) {
        FakeLoader loader;
        loader.loadCode = c.load;
        loader.factoryCode = c.factory;
        void* out = &loader;
        {
            SuiteModuleManager manager(loader);
            EXPECT_EQ(manager.CreateObject(*c.id, &out), c.expected);
        }
        EXPECT_EQ(out, &loader);
        EXPECT_EQ(loader.calls.size(), c.calls);
    }
}

TEST(SuiteModuleManager, ModulesCachedByDirectoryAndName) {
    FakeLoader loader;
    loader.exports = {kFactoryExport};
    void* out = nullptr;
    {
        SuiteModuleManager manager(loader);
        ASSERT_EQ(manager.CreateObject(iid::Communication, &out), rc::Ok);  // empty: "."
        ASSERT_EQ(manager.CreateObject(iid::Communication, &out), rc::Ok);
        manager.SetDirectory(L"D:\\other\\");
        ASSERT_EQ(manager.CreateObject(iid::Communication, &out), rc::Ok);
        ASSERT_EQ(manager.CreateObject(iid::Configuration, &out), rc::Ok);
    }
    EXPECT_EQ(loader.calls,
              (std::vector<std::wstring>{L"load .\\qorcommx.dll", L"factory by pointer",
                                         L"factory by pointer", L"load D:\\other\\qorcommx.dll",
                                         L"factory by pointer", L"load D:\\other\\qorcfgx.dll",
                                         L"factory by pointer", L"unload", L"unload", L"unload"}));
}

TEST(SuiteModuleManager, UnusableLoaderEndsConstruction) {
    FakeLoader loader;
    loader.readyCode = rc::OutOfMemory;
    EXPECT_THROW(SuiteModuleManager{loader}, QorException);
}

}  // namespace
}  // namespace qor
