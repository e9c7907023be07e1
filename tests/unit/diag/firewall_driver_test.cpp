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

struct Request {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::uint32_t outputSize = 0;
};

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
        ++openChannels;
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
    class Channel final : public DriverChannel {
    public:
        explicit Channel(FakeDriver& driver) : driver_(driver) {}
        ~Channel() override { --driver_.openChannels; }
        ResultCode Control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                           void* output, std::uint32_t outputSize,
                           std::uint32_t& returned) noexcept override {
            const auto* in = static_cast<const std::uint8_t*>(input);
            driver_.requests.push_back({code, {in, in + inputSize}, outputSize});
            return driver_.answer(driver_.requests.back(), static_cast<std::uint8_t*>(output),
                                  returned);
        }

    private:
        FakeDriver& driver_;
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

Answer AskingFor(std::uint32_t size) {
    return [size](const Request&, std::uint8_t* out, std::uint32_t& returned) {
        PutWord(out, size);
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
    struct Row { std::uint32_t major, minor; ProcessorClass processor; const wchar_t* name; };
    for (const Row& row : {Row{5, 1, ProcessorClass::X86, L"QorTdiX"},
                           Row{6, 1, ProcessorClass::Amd64, L"QorTdiA"},
                           Row{5, 2, ProcessorClass::Ia64, L"QorTdiI"},
                           Row{6, 2, ProcessorClass::Amd64, L"QorWfpA"},
                           Row{6, 3, ProcessorClass::Ia64, L"QorWfpI"},
                           Row{10, 0, ProcessorClass::X86, L"QorWfpX"},
                           Row{10, 0, static_cast<ProcessorClass>(9), L""}}) {
        OsVersionRecord os;
        os.majorVersion = row.major;
        os.minorVersion = row.minor;
        os.processorClass = row.processor;
        EXPECT_EQ(FirewallDriverServiceName(os), row.name) << row.major << "." << row.minor;
    }
}

TEST(FirewallDriverQuery, OneRequestWithTheTimeGivesTheText) {
    Query q;
    q.driver.answer = Reporting(L"line 1\n\x00DC" L"bersicht \x72B6\x614B \U0001F600 \xD800!\n");
    ASSERT_EQ(q.Run(), rc::Ok);
    EXPECT_EQ(q.text, L"line 1\n\x00DC" L"bersicht \x72B6\x614B \U0001F600 \xD800!\n");
    EXPECT_EQ(q.driver.started, std::vector<std::wstring>{L"QorWfpA"});
    EXPECT_EQ(q.driver.opened, std::vector<std::wstring>{L"\\\\.\\QorTdi"});
    ASSERT_EQ(q.driver.requests.size(), 1u);
    EXPECT_EQ(q.driver.requests[0].code, 0x83002108u);
    EXPECT_EQ(q.driver.requests[0].input,
              (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(q.driver.requests[0].outputSize, 2048u);
    EXPECT_EQ(q.driver.openChannels, 0);
}

TEST(FirewallDriverQuery, AskedSizesAreGivenNextRound) {
    Query q;
    const std::wstring big(4996, L'x');  // 8 + 9992 bytes: more than the first 2048
    q.driver.answer = Reporting(big);
    ASSERT_EQ(q.Run(), rc::Ok);
    EXPECT_EQ(q.text, big);
    ASSERT_EQ(q.driver.requests.size(), 2u);
    EXPECT_EQ(q.driver.requests[1].outputSize, 10000u);

    Query empty;
    empty.driver.answer = Reporting(L"");
    EXPECT_EQ(empty.Run(), rc::Ok);
    EXPECT_EQ(empty.text, L"");
}

TEST(FirewallDriverQuery, TextIsTakenOnlyFromReturnedBytes) {
    Query q;
    q.driver.answer = Reporting(L"short\n", 4096);  // claims far more than it returned
    ASSERT_EQ(q.Run(), rc::Ok);
    EXPECT_EQ(q.text, L"short\n");

    Query odd;  // an odd byte count drops the half character
    odd.driver.answer = Reporting(L"ab", 3);
    ASSERT_EQ(odd.Run(), rc::Ok);
    EXPECT_EQ(odd.text, L"a");
}

TEST(FirewallDriverQuery, NonsenseSizesEndTheQuery) {
    Query huge;
    huge.driver.answer = AskingFor(0xFFFFFFFFu);
    EXPECT_EQ(huge.Run(), rc::OutOfMemory);
    EXPECT_EQ(huge.driver.requests.size(), 1u);
    EXPECT_EQ(huge.text, L"previous");

    Query tiny;  // a size below the header still reads the words from zeroed bytes
    tiny.driver.answer = AskingFor(2);
    EXPECT_EQ(tiny.Run(), rc::BufferTooSmall);

    Query endless;
    std::uint32_t next = 2048;
    endless.driver.answer = [&next](const Request&, std::uint8_t* out, std::uint32_t& returned) {
        PutWord(out, next += 8);
        returned = 8;
        return rc::Ok;
    };
    EXPECT_EQ(endless.Run(), rc::BufferTooSmall);
    EXPECT_EQ(endless.driver.requests.size(), static_cast<std::size_t>(kDriverMaxRounds));
    EXPECT_EQ(endless.driver.openChannels, 0);
}

TEST(FirewallDriverQuery, FailuresLeaveTheTextAlone) {
    Query control;
    control.driver.answer = [](const Request&, std::uint8_t*, std::uint32_t&) {
        return rc::InvalidFunction;
    };
    EXPECT_EQ(control.Run(), rc::InvalidFunction);
    EXPECT_EQ(control.text, L"previous");
    EXPECT_EQ(control.driver.openChannels, 0);

    Query service;
    service.driver.startCode = static_cast<ResultCode>(0xC0070424);
    EXPECT_EQ(service.Run(), static_cast<ResultCode>(0xC0070424));
    EXPECT_TRUE(service.driver.opened.empty());
    EXPECT_EQ(service.text, L"previous");
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

    Query neither;
    neither.driver.openCodes[L"\\\\.\\QorTdi"] = rc::FileNotFound;
    neither.driver.openCodes[L"\\\\.\\Global\\QorTdi"] = rc::PathNotFound;
    EXPECT_EQ(neither.Run(), rc::PathNotFound);
}

}  // namespace
}  // namespace qor
