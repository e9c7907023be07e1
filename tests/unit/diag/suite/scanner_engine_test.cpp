#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "common/time_fields.h"
#include "diag/suite/scanner_engine_client.h"

namespace qor {
namespace {

constexpr std::int64_t kHour = 36'000'000'000;
constexpr std::int64_t kMinute = 600'000'000;
constexpr std::uint64_t k2024Jan15Noon = 133'497'936'000'000'000;  // 2024-01-15 12:00:00 UTC

struct FixedZone final : ZoneClock {
    explicit FixedZone(std::int64_t zoneBias, ResultCode answer = rc::Ok)
        : bias(zoneBias), code(answer) {}
    ResultCode LocalBias(std::int64_t, std::int64_t& out) noexcept override {
        if (Succeeded(code)) out = bias;
        return code;
    }
    std::int64_t bias;
    ResultCode code;
};

EngineInfoBytes RecordBytes(std::uint8_t type, std::uint32_t loadResult, std::uint32_t version,
                            std::uint64_t time) {
    EngineInfoBytes bytes;
    bytes.fill(0xEE);  // bytes the layout does not use
    bytes[0] = type;
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(loadResult >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<std::uint8_t>(version >> (8 * i));
    for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<std::uint8_t>(time >> (8 * i));
    return bytes;
}

// The record's bytes read, its time as local fields with their zone naming the stored instant.
// A whole hour east and half an hour west are checked end to end (test_scanner_engine.py).
TEST(ScannerEngineRecord, LineFromTheRecordsBytesInTheLocalZone) {
    const struct { std::int64_t bias; std::uint64_t time; const wchar_t* text; } cases[] = {
        {0, k2024Jan15Noon + 9'999'999, L"2024-01-15T12:00:00Z"},
        {5 * kHour + 30 * kMinute, k2024Jan15Noon, L"2024-01-15T17:30:00+05:30"},
        {14 * kHour, k2024Jan15Noon, L"2024-01-16T02:00:00+14:00"},
        {-12 * kHour, k2024Jan15Noon - 1, L"2024-01-14T23:59:59-12:00"},
    };
    for (const auto& c : cases) {
        FixedZone zone(c.bias);
        std::wstring line;
        const EngineInfo info = ReadEngineInfo(RecordBytes(200, 0x8007007E, 4000000123u, c.time));
        ASSERT_EQ(rc::Ok, FormatEngineLine(info, zone, line)) << c.text;
        EXPECT_EQ(L"AVI type:200, loadResultErr:0x8007007e, version:4000000123, time:" +
                      std::wstring(c.text) + L"\n", line);
    }
}

TEST(ScannerEngineRecord, TimesThatCannotBeConvertedFailAndLeaveTheLineAlone) {
    constexpr std::uint64_t k1970 = 116'444'736'000'000'000;
    const struct { std::uint64_t time; std::int64_t bias; ResultCode clockCode, expected; } cases[] = {
        {k1970 - 1, 0, rc::Ok, rc::TimeBefore1970},
        {~std::uint64_t{0}, 0, rc::Ok, rc::TimeBefore1970},            // "no time"
        {std::uint64_t{1} << 63, 0, rc::Ok, rc::TimeBefore1970},
        {k1970, -kHour, rc::Ok, rc::TimeBefore1970},                   // local time before 1970
        {0x7FFFFFFFFFFFFFFFull, kHour, rc::Ok, rc::TimeBefore1970},    // beyond the clock
        {k2024Jan15Noon, 0, rc::BadLength, rc::BadLength},
    };
    for (const auto& c : cases) {
        FixedZone zone(c.bias, c.clockCode);
        std::wstring line = L"kept";
        EXPECT_EQ(c.expected, FormatEngineLine(EngineInfo{1, 0, 1, c.time}, zone, line)) << c.time;
        EXPECT_EQ(L"kept", line);
    }
}

// A scripted library source; `calls` records everything in order.
struct FakeEngine final : EngineLibrarySource {
    std::wstring system = L"C:\\Windows\\system32";
    std::map<std::wstring, ResultCode> loadCodes;  // paths not listed fail
    ResultCode installCode = rc::Ok;
    std::wstring installDirectory = L"C:\\Program Files\\QOR";
    std::vector<std::string> missing;  // exports the library lacks
    ResultCode createCode = rc::Ok;
    bool givesInstance = true;
    int failingQuery = -1;  // by number, with "invalid function"
    std::vector<std::uint64_t> times{k2024Jan15Noon, k2024Jan15Noon, k2024Jan15Noon};
    std::vector<std::wstring> calls;

    struct Instance final : EngineInstance {
        explicit Instance(FakeEngine& e) : engine(e) {}
        ~Instance() override { engine.calls.push_back(L"release"); }
        ResultCode QueryInfo(std::uint32_t selector, EngineInfoBytes& record) noexcept override {
            const int number = queries++;
            engine.calls.push_back(L"query " + std::to_wstring(selector));
            const auto set = [](std::uint8_t byte) { return byte != 0; };
            if (std::any_of(record.begin(), record.end(), set)) return rc::BadLength;  // not zeroed
            if (number == engine.failingQuery) return rc::InvalidFunction;
            record = RecordBytes(static_cast<std::uint8_t>(selector), 0, 100 + number,
                                 engine.times[number]);
            return rc::Ok;
        }
        FakeEngine& engine;
        int queries = 0;
    };

    struct Library final : EngineLibrary {
        explicit Library(FakeEngine& e) : engine(e) {}
        ~Library() override { engine.calls.push_back(L"unload"); }
        ResultCode Resolve(const char* name) noexcept override {
            const bool absent = std::count(engine.missing.begin(), engine.missing.end(), name);
            return absent ? ResultFromWin32(127) : rc::Ok;
        }
        ResultCode CreateInstance(const wchar_t* name, std::uint32_t flags,
                                  std::unique_ptr<EngineInstance>& instance) override {
            engine.calls.push_back(std::wstring(L"create ") + name + L" " + std::to_wstring(flags));
            if (Succeeded(engine.createCode) && engine.givesInstance) {
                instance = std::make_unique<Instance>(engine);
            }
            return engine.createCode;
        }
        FakeEngine& engine;
    };

    std::wstring SystemFolder() override { return system; }
    ResultCode Load(const std::wstring& path, std::unique_ptr<EngineLibrary>& library) override {
        calls.push_back(L"load " + path);
        const auto it = loadCodes.find(path);
        const ResultCode code = it == loadCodes.end() ? ResultFromWin32(126) : it->second;
        if (Succeeded(code)) library = std::make_unique<Library>(*this);
        return code;
    }
    ResultCode InstallDirectory(std::wstring& out) override {
        calls.push_back(L"install directory");
        if (Succeeded(installCode)) out = installDirectory;
        return installCode;
    }
};

const std::wstring kInstalled = L"load C:\\Program Files\\QOR\\qorclitx.dll";
const std::wstring kSystem = L"load C:\\Windows\\system32\\qorclitx.dll";

const std::wstring kThreeLines =
    L"AVI type:0, loadResultErr:0x0, version:100, time:2024-01-15T12:00:00Z\n"
    L"AVI type:0, loadResultErr:0x0, version:101, time:2024-01-15T12:00:00Z\n"
    L"AVI type:1, loadResultErr:0x0, version:102, time:2024-01-15T12:00:00Z\n";

// Only ever by full path: the installation directory, then the system folder; never the
// program's own folder or a relative one.
TEST(ScannerEngineClient, LoadOrder) {
    const std::wstring dir = L"install directory";
    const struct {  // `loads`: the path that succeeds
        const char* name; std::wstring system; std::wstring loads; ResultCode installCode;
        std::wstring installDirectory; std::vector<std::wstring> expected; ResultCode result;
    } cases[] = {
        {"installed", L"C:\\Windows\\system32", kInstalled, rc::Ok, L"C:\\Program Files\\QOR",
         {dir, kInstalled}, rc::Ok},
        {"system folder", L"C:\\Windows\\system32", kSystem, rc::Ok, L"C:\\Program Files\\QOR",
         {dir, kInstalled, kSystem}, rc::Ok},
        {"lookup fails", L"C:\\Windows\\system32", kSystem, rc::RegistryKeyNotFound, L"",
         {dir, kSystem}, rc::Ok},
        {"directory ending in a slash", L"", L"load C:\\QOR/qorclitx.dll", rc::Ok, L"C:\\QOR/",
         {dir, L"load C:\\QOR/qorclitx.dll"}, rc::Ok},
        {"relative directory", L"C:\\Windows\\system32", kSystem, rc::Ok, L"bin",
         {dir, kSystem}, rc::Ok},
        {"no system folder", L"", L"", rc::RegistryKeyNotFound, L"", {dir},
         rc::RegistryKeyNotFound},
        {"nowhere", L"C:\\Windows\\system32", L"", rc::Ok, L"C:\\Program Files\\QOR",
         {dir, kInstalled, kSystem}, ResultFromWin32(126)},
    };
    for (const auto& c : cases) {
        FakeEngine engine;
        engine.system = c.system;
        engine.installCode = c.installCode;
        engine.installDirectory = c.installDirectory;
        if (!c.loads.empty()) engine.loadCodes[c.loads.substr(5)] = rc::Ok;
        ScannerEngineClient client(engine);
        EngineInstance* instance = nullptr;
        EXPECT_EQ(c.result, client.GetInstance(instance)) << c.name;
        std::erase_if(engine.calls, [](const std::wstring& call) { return call[0] == L'c'; });
        EXPECT_EQ(c.expected, engine.calls) << c.name;
    }
}

// The lines written before a failure, and every call after loading from the installation.
TEST(ScannerEngineClient, LinesAndCallsWhenAStepFails) {
    const std::wstring create = L"create QorFwCoreSdkNoDelayed 0";
    const std::vector<std::wstring> all{create, L"query 0", L"query 0", L"query 1", L"release",
                                        L"unload"};
    const struct {
        const char* name; std::vector<std::string> missing; ResultCode createCode; bool givesInstance;
        int failingQuery, zeroTime; ResultCode expected; std::size_t lines; std::vector<std::wstring> calls;
    } cases[] = {
        {"required entry point missing", {"CoreSdkLiteSetTempPath"}, rc::Ok, true, -1, -1,
         ResultFromWin32(127), 0, {L"unload"}},
        {"creator missing", {"CoreSdkLiteGetInstanceNamespace_V2"}, rc::Ok, true, -1, -1,
         rc::NotSupported, 0, {L"unload"}},
        {"other optional ones missing: selectors 0, 0, 1",
         {"CoreSdkLiteCreateNamespace_V4", "CoreSdkLiteSetAviLoaderName"}, rc::Ok, true, -1, -1,
         rc::Ok, 3, all},
        {"creator fails", {}, rc::OutOfMemory, true, -1, -1, rc::OutOfMemory, 0,
         {create, L"unload"}},
        {"no instance", {}, rc::Ok, false, -1, -1, static_cast<ResultCode>(0xE0010045), 0,
         {create, L"unload"}},
        {"second query fails", {}, rc::Ok, true, 1, -1, rc::InvalidFunction, 0,
         {create, L"query 0", L"query 0", L"release", L"unload"}},
        {"zero time", {}, rc::Ok, true, -1, 1, static_cast<ResultCode>(0xE0010064), 1, all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeEngine engine;
        engine.loadCodes[kInstalled.substr(5)] = rc::Ok;
        engine.missing = c.missing;
        engine.createCode = c.createCode;
        engine.givesInstance = c.givesInstance;
        engine.failingQuery = c.failingQuery;
        if (c.zeroTime >= 0) engine.times[c.zeroTime] = 0;
        std::wstring text;
        FixedZone utc(0);
        EXPECT_EQ(c.expected, DumpScannerEngineVersion(engine, utc, text));
        std::size_t end = 0;
        for (std::size_t i = 0; i < c.lines; ++i) end = kThreeLines.find(L'\n', end) + 1;
        EXPECT_EQ(kThreeLines.substr(0, end), text);
        std::vector<std::wstring> calls{L"install directory", kInstalled};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(calls, engine.calls);
    }
}

}  // namespace
}  // namespace qor
