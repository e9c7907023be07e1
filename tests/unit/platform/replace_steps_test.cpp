// The replace decision against the system's answers, scripted: whatever the replace call does,
// the target ends up with its old bytes or its new ones, and no copy is removed before.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/replace_steps.h"

namespace qor::fs {
namespace {

const std::wstring kTarget = L"C:\\log\\privlog.cfg";
const std::wstring kNew = L"C:\\log\\privlog.cfg.1.tmp";
const std::wstring kBackup = L"C:\\log\\privlog.cfg.2.old";

class ScriptedCalls final : public ReplaceCalls {
public:
    using Disk = std::map<std::wstring, std::string>;
    Disk disk{{kTarget, "old"}, {kNew, "new"}};
    std::function<std::uint32_t(Disk&)> replace;  // what the call did and its error
    std::set<std::wstring> movesFailing;          // sources whose moves fail

    ResultCode Replace(const std::wstring&, const std::wstring&,
                       const std::wstring&) noexcept override {
        return ResultFromWin32(replace(disk));
    }
    ResultCode Move(const std::wstring& from, const std::wstring& to) noexcept override {
        if (movesFailing.count(from) || !disk.count(from) || disk.count(to)) {
            return ResultFromWin32(5);
        }
        disk[to] = disk[from];
        disk.erase(from);
        return rc::Ok;
    }
    bool Exists(const std::wstring& path) noexcept override { return disk.count(path) != 0; }
    void Remove(const std::wstring& path) noexcept override { disk.erase(path); }
};

void Rename(ScriptedCalls::Disk& disk, const std::wstring& from, const std::wstring& to) {
    disk[to] = disk[from];
    disk.erase(from);
}

TEST(ReplaceThroughBackup, TheTargetHoldsTheOldOrTheNewBytesWhateverTheCallAnswers) {
    struct Case {
        const char* label;
        std::function<std::uint32_t(ScriptedCalls::Disk&)> replace;
        std::set<std::wstring> movesFailing;
        ResultCode result;
        ScriptedCalls::Disk after;
    };
    const ResultCode k1176 = ResultFromWin32(kErrorUnableToMoveReplacement);
    const ResultCode k1177 = ResultFromWin32(kErrorUnableToMoveReplacement2);
    const Case cases[] = {
        {"replaced",
         [](auto& d) { Rename(d, kTarget, kBackup);
             Rename(d, kNew, kTarget);
             return 0u; },
         {}, rc::Ok, {{kTarget, "new"}}},
        {"refused, nothing moved", [](auto&) { return 5u; }, {}, ResultFromWin32(5),
         {{kTarget, "old"}}},
        {"1176, both names kept", [](auto&) { return 1176u; }, {}, k1176, {{kTarget, "old"}}},
        {"1176, the old file gone", [](auto& d) { d.erase(kTarget); return 1176u; }, {}, rc::Ok,
         {{kTarget, "new"}}},
        {"1177, the old file as the backup",
         [](auto& d) { Rename(d, kTarget, kBackup); return 1177u; }, {}, k1177,
         {{kTarget, "old"}}},
        {"1177, the old file cannot go back",
         [](auto& d) { Rename(d, kTarget, kBackup); return 1177u; }, {kBackup}, rc::Ok,
         {{kTarget, "new"}}},
        {"1177, neither can move",
         [](auto& d) { Rename(d, kTarget, kBackup); return 1177u; }, {kBackup, kNew}, k1177,
         {{kNew, "new"}, {kBackup, "old"}}},
    };
    for (const Case& c : cases) {
        ScriptedCalls calls;
        calls.replace = c.replace;
        calls.movesFailing = c.movesFailing;
        EXPECT_EQ(ReplaceThroughBackup(calls, kTarget, kNew, kBackup), c.result) << c.label;
        EXPECT_EQ(calls.disk, c.after) << c.label;
    }
}

TEST(ReplaceThroughBackup, AMissingTargetIsCreated) {
    ScriptedCalls calls;
    calls.disk.erase(kTarget);
    calls.replace = [](auto&) { return kErrorFileNotFound; };
    EXPECT_EQ(ReplaceThroughBackup(calls, kTarget, kNew, kBackup), rc::Ok);
    EXPECT_EQ(calls.disk, (ScriptedCalls::Disk{{kTarget, "new"}}));
    // A folder that cannot take it: nothing is left behind.
    calls.disk = {{kNew, "new"}};
    calls.movesFailing = {kNew};
    EXPECT_TRUE(Failed(ReplaceThroughBackup(calls, kTarget, kNew, kBackup)));
    EXPECT_TRUE(calls.disk.empty());
}

}  // namespace
}  // namespace qor::fs
