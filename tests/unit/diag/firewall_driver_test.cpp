#include "diag/firewall_driver.h"

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/text_encoding.h"

namespace qor {
namespace {

struct Request { std::uint32_t code; std::vector<std::uint8_t> input; std::uint32_t outputSize; };

// Fills `output` (outputSize bytes) and says how many bytes it returned.
using Answer = std::function<ResultCode(const Request&, std::uint8_t* output,
                                        std::uint32_t& returned)>;

// A scripted service manager and device; records what the query asked of them.
class FakeDriver final : public DriverSystem {
public:
    ResultCode StartDriverService(const std::wstring& name) override {
        started.push_back(name);
        return startCode;
    }
    ResultCode Open(const std::wstring& path,
                    std::unique_ptr<DriverChannel>& channel) noexcept override {
        opened.push_back(path);
        if (const auto it = openCodes.find(path); it != openCodes.end()) return it->second;
        channel = std::make_unique<Channel>(*this);
        return rc::Ok;
    }
    std::uint64_t SystemTime() noexcept override { return 0x0102030405060708ull; }

    std::vector<std::wstring> started, opened;
    std::vector<Request> requests;
    std::map<std::wstring, ResultCode> openCodes;
    ResultCode startCode = rc::Ok;
    Answer answer;
    int openChannels = 0;

private:
    struct Channel final : DriverChannel {
        explicit Channel(FakeDriver& d) : driver(d) { ++driver.openChannels; }
        ~Channel() override { --driver.openChannels; }
        ResultCode Control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                           void* output, std::uint32_t outputSize,
                           std::uint32_t& returned) noexcept override {
            const auto* in = static_cast<const std::uint8_t*>(input);
            driver.requests.push_back({code, {in, in + inputSize}, outputSize});
            return driver.answer(driver.requests.back(), static_cast<std::uint8_t*>(output),
                                 returned);
        }
        FakeDriver& driver;
    };
};

void PutWord(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = (value >> (8 * i)) & 0xFF;
}

// A driver whose text is `text`; it asks for more room when the output is too small.
Answer Reporting(std::wstring text, std::uint32_t claimedLength = 0) {
    return [text, claimedLength](const Request& request, std::uint8_t* out,
                                 std::uint32_t& returned) {
        const std::string bytes = ToUtf16Le(text);
        const auto needed = static_cast<std::uint32_t>(8 + bytes.size());
        if (request.outputSize < needed) {
            PutWord(out, needed);
            returned = 8;
            return rc::Ok;
        }
        PutWord(out, 0);
        PutWord(out + 4, claimedLength ? claimedLength : static_cast<std::uint32_t>(bytes.size()));
        std::memcpy(out + 8, bytes.data(), bytes.size());
        returned = needed;
        return rc::Ok;
    };
}

// A driver that asks for `size` bytes, each time 8 more when `growing`.
Answer AskingFor(std::uint32_t size, bool growing = false) {
    return [size, growing](const Request&, std::uint8_t* out, std::uint32_t& returned) mutable {
        PutWord(out, size);
        size += growing ? 8 : 0;
        returned = 8;
        return rc::Ok;
    };
}

struct Query {
    FakeDriver driver;
    FirewallDriverDevice device{driver, L"QorWfpA"};
    std::wstring text = L"previous";
    ResultCode Run() { return QueryFirewallDriver(device, text); }
};

TEST(FirewallDriverService, NameFollowsVersionAndProcessor) {
    const auto name = [](std::uint32_t major, std::uint32_t minor, ProcessorClass processor) {
        return FirewallDriverServiceName({.majorVersion = major, .minorVersion = minor,
                                          .processorClass = processor, .displayName = {}});
    };
    EXPECT_EQ(name(6, 1, ProcessorClass::Amd64), L"QorTdiA");
    EXPECT_EQ(name(5, 2, ProcessorClass::Ia64), L"QorTdiI");
    EXPECT_EQ(name(6, 2, ProcessorClass::Amd64), L"QorWfpA");
    EXPECT_EQ(name(6, 3, ProcessorClass::Ia64), L"QorWfpI");
    EXPECT_EQ(name(10, 0, ProcessorClass::X86), L"QorWfpX");
    EXPECT_EQ(name(10, 0, static_cast<ProcessorClass>(9)), L"");
}

// Requests of 2048 bytes with the time, then of the size asked for; the text is replaced.
TEST(FirewallDriverQuery, TextIsTakenOnlyFromReturnedBytes) {
    const std::wstring mixed = L"line 1\n\x00DC" L"bersicht \x72B6\x614B \U0001F600 \xD800!\n";
    const std::wstring big(4996, L'x');  // 8 + 9992 bytes: more than the first 2048
    const struct { Answer answer; std::wstring text; std::uint32_t lastSize; } cases[] = {
        {Reporting(mixed), mixed, 2048},
        {Reporting(big), big, 10000},
        {Reporting(L""), L"", 2048},
        {Reporting(L"short\n", 4096), L"short\n", 2048},  // claims far more than it returned
        {Reporting(L"ab", 3), L"a", 2048},  // an odd byte count drops the half character
    };
    for (const auto& c : cases) {
        Query q;
        q.driver.answer = c.answer;
        ASSERT_EQ(q.Run(), rc::Ok);
        EXPECT_EQ(q.text, c.text);
        EXPECT_EQ(q.driver.started, std::vector<std::wstring>{L"QorWfpA"});
        EXPECT_EQ(q.driver.opened, std::vector<std::wstring>{L"\\\\.\\QorTdi"});
        ASSERT_EQ(q.driver.requests.size(), c.lastSize == 2048 ? 1u : 2u);
        for (const Request& request : q.driver.requests) {
            EXPECT_EQ(request.code, 0x83002108u);
            EXPECT_EQ(request.input, (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
        }
        EXPECT_EQ(q.driver.requests[0].outputSize, 2048u);
        EXPECT_EQ(q.driver.requests.back().outputSize, c.lastSize);
        EXPECT_EQ(q.driver.openChannels, 0);
    }
}

TEST(FirewallDriverQuery, FailuresAndNonsenseSizesLeaveTheTextAlone) {
    const ResultCode denied = static_cast<ResultCode>(0xC0070424);
    const Answer invalid = [](const Request&, std::uint8_t*, std::uint32_t&) {
        return rc::InvalidFunction;
    };
    const struct {
        const char* name; Answer answer; ResultCode startCode, expected; std::size_t requests;
    } cases[] = {
        {"unallocatable size", AskingFor(0xFFFFFFFFu), rc::Ok, rc::OutOfMemory, 1},
        {"size below the header", AskingFor(2), rc::Ok, rc::BufferTooSmall, kDriverMaxRounds},
        {"always more", AskingFor(2056, true), rc::Ok, rc::BufferTooSmall, kDriverMaxRounds},
        {"control fails", invalid, rc::Ok, rc::InvalidFunction, 1},
        {"service fails", invalid, denied, denied, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Query q;
        q.driver.answer = c.answer;
        q.driver.startCode = c.startCode;
        EXPECT_EQ(q.Run(), c.expected);
        EXPECT_EQ(q.text, L"previous");
        EXPECT_EQ(q.driver.requests.size(), c.requests);
        EXPECT_EQ(q.driver.opened.size(), c.requests == 0 ? 0u : 1u);
        EXPECT_EQ(q.driver.openChannels, 0);
    }
}

TEST(FirewallDriverDevice, GlobalPathIsTheFallbackAndTheServiceStartsOnce) {
    Query q;
    q.driver.answer = Reporting(L"ok");
    q.driver.openCodes[L"\\\\.\\QorTdi"] = rc::FileNotFound;
    ASSERT_EQ(q.Run(), rc::Ok);
    ASSERT_EQ(q.Run(), rc::Ok);
    EXPECT_EQ(q.text, L"ok");
    EXPECT_EQ(q.driver.started.size(), 1u);
    EXPECT_EQ(q.driver.opened,
              (std::vector<std::wstring>{L"\\\\.\\QorTdi", L"\\\\.\\Global\\QorTdi",
                                         L"\\\\.\\QorTdi", L"\\\\.\\Global\\QorTdi"}));
    q.driver.openCodes[L"\\\\.\\Global\\QorTdi"] = rc::PathNotFound;  // neither opens
    EXPECT_EQ(q.Run(), rc::PathNotFound);
}

}  // namespace
}  // namespace qor
