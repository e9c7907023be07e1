#include "product/install_lookup.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "common/error_record.h"
#include "fakes/fake_install_sources.h"
#include "product/logging_attach.h"
#include "product/suite_modules.h"
#include "platform/folder_table.h"

namespace qor {
namespace {

using test::FakeInstallSources;

struct Lookup {
    FakeInstallSources sources;
    ProductInstallation installation{sources};

    std::wstring Of(std::uint32_t kind, std::optional<std::wstring_view> sub = std::nullopt,
                    std::wstring_view generation = L"2014") {
        std::wstring out = L"stale";
        const ResultCode code = installation.LookupProductDirectory(kind, out, sub, generation);
        if (code != rc::Ok) {
            EXPECT_TRUE(out.empty());
            return L"error " + std::to_wstring(static_cast<unsigned>(code));
        }
        return out;
    }
};

const std::wstring kMissing = L"error " + std::to_wstring(0xE0010013u);

TEST(LookupProductDirectory, SuiteKindsInTheInstallerView) {
    Lookup l;
    l.sources.InstallSuite();
    EXPECT_EQ(l.Of(product_dir::Program), L"C:\\PF\\QOR");
    EXPECT_EQ(l.Of(product_dir::AllUsersData, L"dumps\\"), L"C:\\Data\\QOR\\dumps\\");
    EXPECT_EQ(l.Of(product_dir::ScannerData), L"C:\\Data\\QOR\\avi");
    EXPECT_EQ(l.Of(product_dir::UserRoaming), L"C:\\Users\\u\\Roaming\\Qor2014");
    EXPECT_EQ(l.Of(product_dir::UserLocal), L"error " + std::to_wstring(0xE001003Eu));
    EXPECT_EQ(l.Of(product_dir::Program, std::nullopt, L"2013"), kMissing);  // other generation
    EXPECT_EQ(l.Of(product_dir::AdminAllUsers), kMissing);
    EXPECT_EQ(l.Of(10), L"error " + std::to_wstring(0xE001003Cu));
    EXPECT_EQ(l.sources.bitnessQueries, 1);  // decided once
}

TEST(LookupProductDirectory, ThirtyTwoBitSystemUsesNoView) {
    Lookup l;
    l.sources.system64 = false;
    l.sources.InstallSuite();  // 32-bit view only: not what a 32-bit system has
    EXPECT_EQ(l.Of(product_dir::Program), kMissing);
    l.sources.registry.Set(RegistryRoot::LocalMachine, L"SOFTWARE\\Qor\\Qor2014", L"QorDir", L"C:\\P");
    EXPECT_EQ(l.Of(product_dir::Program), L"C:\\P");
}

TEST(GetLogDirectory, ExistingLogFolderElseCurrentDirectory) {
    Lookup l;
    std::wstring out;
    l.sources.InstallSuite();
    l.installation.GetLogDirectory(out);
    EXPECT_EQ(out, L".\\");  // not an existing directory
    l.sources.directories.insert(L"C:\\Data\\QOR\\log");
    l.installation.GetLogDirectory(out);
    EXPECT_EQ(out, L"C:\\Data\\QOR\\log");
}

struct FakeLoggingModule final : LoggingModule {
    bool IsLoaded() override { return loaded; }
    ResultCode Load(const std::wstring& folder) override {
        calls.push_back(L"load " + folder);
        loaded = Succeeded(loadCode);
        return loadCode;
    }
    bool IsConfigured() override { calls.push_back(L"is-configured"); return configured; }
    ResultCode Configure(const std::wstring& folder) override {
        calls.push_back(L"configure " + folder);
        return configureCode;
    }
    ResultCode Start(std::uint32_t argument) override {
        calls.push_back(L"start " + std::to_wstring(argument));
        return startCode;
    }

    bool loaded = false, configured = false;
    ResultCode loadCode = 0, configureCode = 0, startCode = 0;
    std::vector<std::wstring> calls;
};

// With the suite its program and log folders; without it the tool's own folder only where
// others cannot write (under the program-files folders), and the current directory for logs.
TEST(AttachLoggingModule, FoldersAndEachFailureEndingTheAttachment) {
    using Calls = std::vector<std::wstring>;
    const std::wstring pf = L"C:\\Program Files\\Tool";
    const struct {
        bool suite; std::wstring own; std::set<std::wstring> directories; bool loaded, configured;
        ResultCode load, configure, start, expected; Calls calls;
    } cases[] = {
        {true, L"C:\\tool", {L"C:\\PF\\QOR", L"C:\\Data\\QOR\\log"}, false, false, 0, 0, 7, 7,
         {L"load C:\\PF\\QOR", L"is-configured", L"configure C:\\Data\\QOR\\log", L"start 0"}},
        {false, pf, {}, false, false, 0, 0, 0, rc::PathNotFound, {}},
        // A Downloads folder: nothing is loaded from it.
        {false, L"C:\\Users\\u\\Downloads", {L"C:\\Users\\u\\Downloads"}, false, false, 0, 0, 0,
         rc::PathNotFound, {}},
        {false, pf, {pf}, false, false, rc::PathNotFound, 0, 0, rc::PathNotFound, {L"load " + pf}},
        {false, pf, {pf}, false, false, 0, rc::OutOfMemory, 0, rc::OutOfMemory,
         {L"load " + pf, L"is-configured", L"configure .\\"}},
        // Already loaded: no second load.
        {false, L"", {}, true, false, 0, 0, 0, 0, {L"is-configured", L"configure .\\", L"start 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Lookup l;
        if (c.suite) l.sources.InstallSuite();
        l.sources.ownFolder = c.own;
        l.sources.directories = c.directories;
        FakeLoggingModule module;
        module.loaded = c.loaded;
        module.configured = c.configured;
        module.loadCode = c.load;
        module.configureCode = c.configure;
        module.startCode = c.start;
        EXPECT_EQ(AttachLoggingModule(l.installation, module), c.expected);
        EXPECT_EQ(module.calls, c.calls);
    }
}

// Whole components, letters without case; the installation directory itself, not below it;
// under program files only a folder that users cannot change.
TEST(TrustedOwnFolder, InstallationDirectoryOrUnderProgramFiles) {
    const struct { std::wstring own; bool suite; std::wstring trusted; } cases[] = {
        {L"C:\\Program Files\\Vendor", false, L""},  // a vendor folder users may write
        {L"C:\\PF\\QOR", true, L"C:\\PF\\QOR"},
        {L"c:/pf/qor/", true, L"c:/pf/qor/"},
        {L"C:\\PF\\QOR\\sub", true, L""},
        {L"C:\\PF\\QOR", false, L""},
        {L"C:\\Program Files\\Tool", false, L"C:\\Program Files\\Tool"},
        {L"C:\\PROGRAM FILES (X86)\\a\\b", false, L"C:\\PROGRAM FILES (X86)\\a\\b"},
        {L"C:\\Program Files", false, L"C:\\Program Files"},
        {L"C:\\Program Files Evil\\Tool", false, L""},
        {L"C:\\Program Files\\..\\Users", false, L""},
        {L"D:\\Program Files\\Tool", false, L""},
        {L"Program Files\\Tool", false, L""},
        {L"\\\\server\\share\\Program Files", false, L""},
        {L"", false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Lookup l;
        if (c.suite) l.sources.InstallSuite();
        l.sources.ownFolder = c.own;
        l.sources.userWritable = {L"C:\\Program Files\\Vendor"};
        EXPECT_EQ(l.installation.TrustedOwnFolder(), c.trusted);
    }
}

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
    // `calls`: after the load, through the manager's end.
    struct Case { std::set<std::string> exports; ResultCode code; std::vector<std::wstring> calls; } cases[] = {
        {{v2, v1, init, finish}, rc::Ok, {L"init", L"factory by pointer", L"finish", L"unload"}},
        {{v1}, rc::Ok, {L"factory by value", L"unload"}},
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
    struct Case { const InterfaceId* id; ResultCode load, factory, expected; std::size_t calls; } cases[] = {
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
    FakeLoader unusable;  // ends the construction
    unusable.readyCode = rc::OutOfMemory;
    EXPECT_THROW(SuiteModuleManager{unusable}, QorException);
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

}  // namespace
}  // namespace qor
