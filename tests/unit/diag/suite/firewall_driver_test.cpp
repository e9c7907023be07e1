#include "diag/suite/firewall_driver.h"

#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "common/text_encoding.h"
#include "diag/suite/firewall_state.h"

namespace qor {
namespace {

struct Request {
    std::uint32_t code; std::vector<std::uint8_t> input; std::uint32_t outputSize;
    bool operator==(const Request&) const = default;
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

// A driver whose text, shorter than 2040 bytes, is `text`.
Answer Reporting(std::wstring text, std::uint32_t claimedLength = 0) {
    return [text, claimedLength](const Request&, std::uint8_t* out, std::uint32_t& returned) {
        const std::string bytes = ToUtf16Le(text);
        PutWord(out, 0);
        PutWord(out + 4, claimedLength ? claimedLength : static_cast<std::uint32_t>(bytes.size()));
        std::memcpy(out + 8, bytes.data(), bytes.size());
        returned = static_cast<std::uint32_t>(8 + bytes.size());
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

// 7 and 8.1 on both processors are checked end to end.
TEST(FirewallDriverService, NameFollowsVersionAndProcessor) {
    const auto name = [](std::uint32_t major, std::uint32_t minor, ProcessorClass processor) {
        return FirewallDriverServiceName({.majorVersion = major, .minorVersion = minor,
                                          .processorClass = processor, .displayName = {}});
    };
    EXPECT_EQ(name(5, 2, ProcessorClass::Ia64), L"QorTdiI");
    EXPECT_EQ(name(6, 2, ProcessorClass::Amd64), L"QorWfpA");
    EXPECT_EQ(name(10, 0, ProcessorClass::X86), L"QorWfpX");
    EXPECT_EQ(name(10, 0, static_cast<ProcessorClass>(9)), L"");
}

// One request of 2048 bytes with the time; the text is replaced. A larger size asked for,
// an empty text and one short of its claimed length are checked end to end.
TEST(FirewallDriverQuery, TextIsTakenOnlyFromReturnedBytes) {
    const std::wstring mixed = L"line 1\n\x00DC" L"bersicht \x72B6\x614B \U0001F600 \xD800!\n";
    const struct { Answer answer; std::wstring text; } cases[] = {
        {Reporting(mixed), mixed},
        {Reporting(L"short\n", 4096), L"short\n"},  // claims far more than it returned
        {Reporting(L"ab", 3), L"a"},  // an odd byte count drops the half character
    };
    for (const auto& c : cases) {
        Query q;
        q.driver.answer = c.answer;
        ASSERT_EQ(q.Run(), rc::Ok);
        EXPECT_EQ(q.text, c.text);
        EXPECT_EQ(q.driver.started, std::vector<std::wstring>{L"QorWfpA"});
        EXPECT_EQ(q.driver.opened, std::vector<std::wstring>{L"\\\\.\\QorTdi"});
        EXPECT_EQ(q.driver.requests, (std::vector<Request>{{0x83002108u, {8, 7, 6, 5, 4, 3, 2, 1}, 2048}}));
        EXPECT_EQ(q.driver.openChannels, 0);
    }
}

// An unallocatable size and a failing control are checked end to end.
TEST(FirewallDriverQuery, FailuresAndNonsenseSizesLeaveTheTextAlone) {
    const ResultCode denied = static_cast<ResultCode>(0xC0070424);
    const Answer invalid = [](const Request&, std::uint8_t*, std::uint32_t&) {
        return rc::InvalidFunction;
    };
    const struct { const char* name; Answer answer; ResultCode startCode, expected; std::size_t requests; }
        cases[] = {
        {"size below the header", AskingFor(2), rc::Ok, rc::BufferTooSmall, kDriverMaxRounds},
        {"always more", AskingFor(2056, true), rc::Ok, rc::BufferTooSmall, kDriverMaxRounds},
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

// The global path taken when the plain one is refused: test_firewall_driver.py.
TEST(FirewallDriverDevice, GlobalPathIsTheFallbackAndTheServiceStartsOnce) {
    Query q;
    q.driver.answer = Reporting(L"ok");
    q.driver.openCodes[L"\\\\.\\QorTdi"] = rc::FileNotFound;
    ASSERT_EQ(q.Run(), rc::Ok);
    ASSERT_EQ(q.Run(), rc::Ok);
    EXPECT_EQ(q.text, L"ok");
    EXPECT_EQ(q.driver.started.size(), 1u);
    EXPECT_EQ(q.driver.opened.back(), L"\\\\.\\Global\\QorTdi");
    q.driver.openCodes[L"\\\\.\\Global\\QorTdi"] = rc::PathNotFound;  // neither opens
    EXPECT_EQ(q.Run(), rc::PathNotFound);
}

// A value tree held in memory. Nodes are indexes into `opened`; the root is node 1000.
class FakeTree final : public ValueTreeConnection {
public:
    struct Value { std::uint32_t type, number = 0; std::u16string text = u""; bool terminated = true; };

    ResultCode GetRoot(ValueNode& root) override {
        if (Failed(rootCode)) return rootCode;
        root = Node(kRoot);
        ++live;
        return rc::Ok;
    }
    ResultCode OpenNode(ValueNode root, const std::wstring& path, ValueNode& node) override {
        EXPECT_EQ(root, Node(kRoot));
        opened.push_back(path);
        node = Node(opened.size() - 1);
        const ResultCode answer = Answer(path, openAnswers);
        if (answer == rc::Ok) ++live;
        pendingOpen = answer == kReplyPending;
        return answer;
    }
    ResultCode ReadValue(ValueNode node, std::uint32_t type, unsigned char* buffer,
                         std::uint32_t bytes) override {
        const std::wstring& path = opened.at(reinterpret_cast<std::uintptr_t>(node));
        const ResultCode answer = Answer(path, readAnswers);
        if (answer == kReplyPending) pendingRead = [=, this] { (void)Fill(path, type, buffer, bytes); };
        if (answer != rc::Ok) return answer;
        return Fill(path, type, buffer, bytes);
    }
    ResultCode Fill(const std::wstring& path, std::uint32_t type, unsigned char* buffer,
                    std::uint32_t bytes) {
        const auto it = values.find(path);
        if (it == values.end()) return static_cast<ResultCode>(0xE001004C);
        EXPECT_EQ(type, it->second.type) << path;
        const Value& v = it->second;
        if (type != 12) {
            std::memcpy(buffer, &v.number, std::min<std::size_t>(4, bytes));
            return rc::Ok;
        }
        std::u16string text = v.text;
        if (v.terminated) text.push_back(u'\0');
        else text.resize(bytes / 2, u'x');  // fills all it is given
        std::memcpy(buffer, text.data(), 2 * text.size());  // UTF-16LE on a little-endian host
        return rc::Ok;
    }
    void ReleaseNode(ValueNode) override { --live; }
    ResultCode WaitReply(std::uint32_t milliseconds) override {
        waits.push_back(milliseconds);
        if (pendingOpen && waitAnswer == rc::Ok) ++live;
        if (pendingRead && waitAnswer == rc::Ok) pendingRead();
        pendingOpen = false;
        pendingRead = nullptr;
        return waitAnswer;
    }
    ResultCode Reconnect() override { ++reconnects; return rc::Ok; }

    std::map<std::wstring, Value> values{
        {L"/Components/FW/State", {5, static_cast<std::uint32_t>(-3)}},
        {L"/Components/FW/Flags", {6, 0xFFFFFFFF}},
        {L"/Components/FW/ActiveArea", {12, 0, u""}},
        {L"/Components/FW/ActiveAreaGuid", {12, 0, u"{G}"}},
        {L"/Components/FW/ActiveAreaFPS", {6, 7}},
        {L"/Components/RS/State", {5, 4}},
        {L"/Components/IDP/State", {5, 2}},
    };
    // Answers by path, one used per call: the last one repeats.
    std::map<std::wstring, std::vector<ResultCode>> openAnswers, readAnswers;
    ResultCode rootCode = rc::Ok, waitAnswer = rc::Ok;
    std::vector<std::wstring> opened;
    std::vector<std::uint32_t> waits;
    int reconnects = 0, live = 0;  // live: nodes handed out and not released
    bool pendingOpen = false;
    std::function<void()> pendingRead;  // delivers the reply of a pending read

private:
    static constexpr std::uintptr_t kRoot = 1000;
    static ValueNode Node(std::uintptr_t index) { return reinterpret_cast<ValueNode>(index); }
    static ResultCode Answer(const std::wstring& path,
                             std::map<std::wstring, std::vector<ResultCode>>& answers) {
        auto it = answers.find(path);
        if (it == answers.end() || it->second.empty()) return rc::Ok;
        const ResultCode code = it->second.front();
        if (it->second.size() > 1) it->second.erase(it->second.begin());
        return code;
    }
};

// A missing value and the lines' layout are checked end to end.
TEST(DumpFirewallState, AnyFailureLeavesTheTextAloneAndReleasesNodes) {
    const ResultCode lost = kConnectionLost;
    const ResultCode pending = kReplyPending;
    // `wait`: the answer to every wait for a reply.
    struct Case { const char* name; void (*arrange)(FakeTree&); ResultCode wait, expected; std::size_t opened; }
        cases[] = {
        {"no root", [](FakeTree& t) { t.rootCode = rc::PathNotFound; }, rc::Ok, rc::PathNotFound, 0},
        {"open fails", [](FakeTree& t) { t.openAnswers[L"/Components/FW/Flags"] = {rc::BadLength}; },
         rc::Ok, rc::BadLength, 2},
        {"read pending forever", [](FakeTree& t) { t.readAnswers[L"/Components/RS/State"] = {pending}; },
         pending, kReplyTimeout, 6},
        {"open pending forever", [](FakeTree& t) { t.openAnswers[L"/Components/FW/State"] = {pending}; },
         pending, kReplyTimeout, 1},
        {"connection lost twice", [](FakeTree& t) { t.readAnswers[L"/Components/FW/State"] = {lost, lost}; },
         rc::Ok, lost, 1},
    };
    for (const Case& c : cases) {
        FakeTree tree;
        c.arrange(tree);
        tree.waitAnswer = c.wait;
        std::wstring text = L"before";
        EXPECT_EQ(DumpFirewallStateFrom(tree, text), c.expected) << c.name;
        EXPECT_EQ(text, L"before") << c.name;
        EXPECT_EQ(tree.opened.size(), c.opened) << c.name;
        EXPECT_EQ(tree.live, 0) << c.name;
        EXPECT_LE(tree.waits.size(), 1u) << c.name;  // one bounded wait at most
        for (std::uint32_t wait : tree.waits) EXPECT_EQ(wait, kReplyWaitMilliseconds);
    }
}

// Pending and lost answers are settled once; an unterminated string stops at the buffer's end.
TEST(DumpFirewallState, TransientAnswersAndAnUnterminatedString) {
    FakeTree tree;
    tree.openAnswers[L"/Components/FW/Flags"] = {kReplyPending, rc::Ok};
    tree.readAnswers[L"/Components/RS/State"] = {kConnectionLost, rc::Ok};
    tree.readAnswers[L"/Components/IDP/State"] = {kReplyPending, rc::Ok};
    tree.values[L"/Components/FW/ActiveArea"] = {12, 0, u"Office", false};
    std::wstring text;
    EXPECT_EQ(DumpFirewallStateFrom(tree, text), rc::Ok);
    EXPECT_EQ(tree.waits.size(), 2u);
    EXPECT_EQ(tree.reconnects, 1);
    EXPECT_EQ(tree.live, 0);
    EXPECT_EQ(text, L"FW state -3, RS state 4, IDP state 2\nFW flags 4294967295\n"
                    L"Active area Office" + std::wstring(254, L'x') + L", GUID {G}, FPS 7\n");
}

}  // namespace
}  // namespace qor
