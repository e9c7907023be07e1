#pragma once
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_registry.h"
#include "product/install_lookup.h"
#include "platform/folder_table.h"

namespace qor::test {

// The suite as a 32-bit installer records it; directories exist only when listed.
class FakeInstallSources final : public InstallationSources {
public:
    RegistryReader& Registry() override { return registry; }
    bool Is64BitSystem() override { ++bitnessQueries; return system64; }
    ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out) override {
        if (id == folder::AppData) { out = L"C:\\Users\\u\\Roaming"; return rc::Ok; }
        return rc::PathNotFound;
    }
    bool IsDirectory(const std::wstring& path) override { return directories.count(path) != 0; }
    std::wstring OwnExecutableFolder() override { return ownFolder; }
    std::vector<std::wstring> ProgramFilesFolders() override { return programFiles; }
    // Resolves nothing: the paths of these tests are full already.
    std::wstring FullPath(const std::wstring& path) override { return path; }
    bool OnlyAdministratorsMayChange(const std::wstring& folder) override {
        return userWritable.count(folder) == 0;
    }

    // The suite as its 32-bit installer records it on a 64-bit system.
    void InstallSuite(const std::wstring& program = L"C:\\PF\\QOR",
                      const std::wstring& data = L"C:\\Data\\QOR") {
        registry.Set(RegistryRoot::LocalMachine, L"SOFTWARE\\Qor\\Qor2014", L"QorDir", program, RegistryView::Wow32);
        registry.Set(RegistryRoot::LocalMachine, L"SOFTWARE\\Qor\\Qor2014", L"QorAllUsersDir", data, RegistryView::Wow32);
    }

    test::FakeRegistry registry;
    bool system64 = true;
    int bitnessQueries = 0;
    std::set<std::wstring> directories;
    std::set<std::wstring> userWritable;  // folders whose descriptor lets users change them
    std::wstring ownFolder = L"C:\\tool";
    std::vector<std::wstring> programFiles{L"C:\\Program Files", L"C:\\Program Files (x86)"};
};

}  // namespace qor::test
