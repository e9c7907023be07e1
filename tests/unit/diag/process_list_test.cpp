#include "diag/process_list.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qor {
namespace {

// What one process answers; nullopt for a failing query.
struct FakeProcess {
    bool opens = true;
    std::optional<std::wstring> moduleFile, imageFile, baseName, nativeName, win32Name;
};

class FakeImage final : public ProcessImage {
public:
    explicit FakeImage(const FakeProcess& p) : p_(p) {}
    bool ModuleFileName(std::wstring& out) noexcept override { return Give(p_.moduleFile, out); }
    bool ImageFileName(std::wstring& out) noexcept override { return Give(p_.imageFile, out); }
    bool ModuleBaseName(std::wstring& out) noexcept override { return Give(p_.baseName, out); }
    bool FullImageName(bool native, std::wstring& out) noexcept override {
        return Give(native ? p_.nativeName : p_.win32Name, out);
    }

private:
    static bool Give(const std::optional<std::wstring>& name, std::wstring& out) {
        if (name) out = *name;
        return name.has_value();
    }
    const FakeProcess& p_;
};

class FakeProcesses final : public ProcessQueries {
public:
    ResultCode Enumerate(std::span<std::uint32_t> ids, std::size_t& count) noexcept override {
        sizesAsked.push_back(ids.size());
        if (Failed(enumerateCode)) return enumerateCode;
        count = std::min(ids.size(), running.size());
        std::copy_n(running.begin(), count, ids.begin());
        return rc::Ok;
    }
    std::unique_ptr<ProcessImage> Open(std::uint32_t id) noexcept override {
        opened.push_back(id);
        const auto found = processes.find(id);
        if (found == processes.end() || !found->second.opens) return nullptr;
        return std::make_unique<FakeImage>(found->second);
    }
    bool HasImageFileName() const noexcept override { return imageFileName; }
    bool HasFullImageName() const noexcept override { return fullImageName; }

    std::vector<std::uint32_t> running, opened;
    std::map<std::uint32_t, FakeProcess> processes;
    bool imageFileName = true, fullImageName = true;
    ResultCode enumerateCode = rc::Ok;
    std::vector<std::size_t> sizesAsked;
};

std::wstring Record(const wchar_t* id, const std::vector<std::wstring>& f) {
    return std::wstring(id) + L":\n----------\n" + f[0] + L"\n" + f[1] + L"\n" + f[2] + L"\n" +
           f[3] + L"\n" + f[4] + L"\n===========\n\n";
}

const std::vector<std::wstring> kSystem{L"SYSTEM", L"", L"", L"", L""};
const FakeProcess kAllNames{true, L"C:\\a\\app.exe", L"\\Device\\HarddiskVolume1\\a\\app.exe",
                            L"app.exe", L"\\Device\\HarddiskVolume1\\a\\app.exe",
                            L"C:\\a\\app.exe"};

// System identifiers are named without opening, 0 is left out, large ones print signed.
TEST(ProcessList, RecordsFollowTheEnumeration) {
    FakeProcesses system;
    system.running = {0, 4, 900, 8, 12, 0xFFFFFFFCu};
    std::wstring text;
    ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
    const std::vector<std::wstring> unknown(5, L"<unknown>");
    EXPECT_EQ(text, Record(L"4", kSystem) + Record(L"900", unknown) + Record(L"8", kSystem) +
                        Record(L"12", unknown) + Record(L"-4", unknown));
    EXPECT_EQ(system.opened, (std::vector<std::uint32_t>{900, 12, 0xFFFFFFFCu}));
}

TEST(ProcessList, EachFieldHasItsOwnFailureValue) {
    const std::wstring u = L"<unknown>";
    const std::wstring module = *kAllNames.moduleFile, image = *kAllNames.imageFile;
    struct Case {
        const char* name; FakeProcess process; bool imageFileName, fullImageName;
        std::vector<std::wstring> fields;
    } cases[] = {
        {"all answer", kAllNames, true, true,
         {module, image, L"app.exe", *kAllNames.nativeName, *kAllNames.win32Name}},
        {"cannot be opened", {false, {}, {}, {}, {}, {}}, true, true, {u, u, u, u, u}},
        {"every query fails", {true, {}, {}, {}, {}, {}}, true, true, {u, u, L"", L"", L""}},
        {"empty answers count as failures", {true, L"", L"", L"", L"", L""}, true, true,
         {u, u, L"", L"", L""}},
        {"before 6.0", kAllNames, true, false, {module, image, L"app.exe", L"", L""}},
        {"before 5.1", kAllNames, false, false, {module, L"", L"app.exe", L"", L""}},
        {"only the native name fails",
         {true, L"C:\\a.exe", L"\\D\\a.exe", L"a.exe", std::nullopt, L"C:\\a.exe"}, true, true,
         {L"C:\\a.exe", L"\\D\\a.exe", L"a.exe", L"", L"C:\\a.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcesses system;
        system.running = {1234};
        system.processes[1234] = c.process;
        system.imageFileName = c.imageFileName;
        system.fullImageName = c.fullImageName;
        std::wstring text;
        ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
        EXPECT_EQ(text, Record(L"1234", c.fields));
    }
}

TEST(ProcessList, IdentifierArrayGrowsPastAThousandProcesses) {
    FakeProcesses system;
    for (std::uint32_t id = 1; id <= 2500; ++id) system.running.push_back(id * 4 + 8);
    std::wstring text;
    ASSERT_EQ(DumpProcessList(system, text), rc::Ok);
    EXPECT_EQ(system.sizesAsked, (std::vector<std::size_t>{1024, 2048, 4096}));
    EXPECT_EQ(system.opened.size(), 2500u);
    EXPECT_NE(text.find(L"10008:\n"), std::wstring::npos);
}

TEST(ProcessList, EndlessEnumerationStopsAtTheBoundAndFailureLeavesTheText) {
    FakeProcesses system;
    system.running.assign(kMaxProcessIdCount + 1, 0);
    system.running[5] = 4;
    std::wstring text;
    EXPECT_EQ(DumpProcessList(system, text), rc::BufferTooSmall);
    EXPECT_EQ(system.sizesAsked.back(), kMaxProcessIdCount);
    EXPECT_EQ(text, Record(L"4", kSystem));

    system.enumerateCode = ResultFromWin32(5);
    EXPECT_EQ(DumpProcessList(system, text), ResultFromWin32(5));
    EXPECT_EQ(text, Record(L"4", kSystem));
}

TEST(ProcessList, OptionalQueriesFollowTheSystemVersion) {
    const struct {
        bool filled; std::uint32_t major, minor; bool imageFileName, fullImageName;
    } cases[] = {
        {false, 10, 0, false, false}, {true, 5, 0, false, false}, {true, 5, 1, true, false},
        {true, 5, 2, true, false},    {true, 6, 0, true, true},   {true, 10, 0, true, true},
    };
    for (const auto& c : cases) {
        const OptionalProcessQueries optional = OptionalProcessQueriesFor(
            {.filled = c.filled, .majorVersion = c.major, .minorVersion = c.minor,
             .displayName = {}});
        EXPECT_EQ(optional.imageFileName, c.imageFileName) << c.major << "." << c.minor;
        EXPECT_EQ(optional.fullImageName, c.fullImageName) << c.major << "." << c.minor;
    }
}

}  // namespace
}  // namespace qor
