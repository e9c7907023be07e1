#include "diag/firewall_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qor {
namespace {

// A value tree held in memory. Nodes are indexes into `opened`; the root is node 1000.
class FakeTree final : public ValueTreeConnection {
public:
    struct Value {
        std::uint32_t type, number = 0;
        std::u16string text = u"";
        bool terminated = true;
    };

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

TEST(DumpFirewallState, ThreeLinesFromTheSevenValuesInOrder) {
    FakeTree tree;
    std::wstring text;
    ASSERT_EQ(DumpFirewallStateFrom(tree, text), rc::Ok);
    EXPECT_EQ(text,
              L"FW state -3, RS state 4, IDP state 2\n"
              L"FW flags 4294967295\n"
              L"Active area , GUID {G}, FPS 7\n");
    EXPECT_EQ(tree.opened,
              (std::vector<std::wstring>{L"/Components/FW/State", L"/Components/FW/Flags",
                                         L"/Components/FW/ActiveArea",
                                         L"/Components/FW/ActiveAreaGuid",
                                         L"/Components/FW/ActiveAreaFPS",
                                         L"/Components/RS/State", L"/Components/IDP/State"}));
    EXPECT_EQ(tree.live, 0);
}

TEST(DumpFirewallState, AnyFailureLeavesTheTextAloneAndReleasesNodes) {
    const ResultCode lost = kConnectionLost;
    const ResultCode pending = kReplyPending;
    struct Case {  // `wait`: the answer to every wait for a reply
        const char* name; void (*arrange)(FakeTree&); ResultCode wait, expected;
        std::size_t opened;
    } cases[] = {
        {"missing IDP state", [](FakeTree& t) { t.values.erase(L"/Components/IDP/State"); },
         rc::Ok, static_cast<ResultCode>(0xE001004C), 7},
        {"no root", [](FakeTree& t) { t.rootCode = rc::PathNotFound; }, rc::Ok, rc::PathNotFound,
         0},
        {"open fails", [](FakeTree& t) { t.openAnswers[L"/Components/FW/Flags"] = {rc::BadLength}; },
         rc::Ok, rc::BadLength, 2},
        {"read pending forever",
         [](FakeTree& t) { t.readAnswers[L"/Components/RS/State"] = {pending}; }, pending,
         kReplyTimeout, 6},
        {"open pending forever",
         [](FakeTree& t) { t.openAnswers[L"/Components/FW/State"] = {pending}; }, pending,
         kReplyTimeout, 1},
        {"connection lost twice",
         [](FakeTree& t) { t.readAnswers[L"/Components/FW/State"] = {lost, lost}; }, rc::Ok, lost,
         1},
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
    EXPECT_EQ(text, L"FW state -3, RS state 4, IDP state 2\nFW flags 4294967295\n"
                    L"Active area Office" + std::wstring(254, L'x') + L", GUID {G}, FPS 7\n");
}

}  // namespace
}  // namespace qor
