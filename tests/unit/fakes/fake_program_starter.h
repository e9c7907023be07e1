#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "maintenance/ndis_installer.h"

namespace qor::test {

// Each start is recorded and answers the scripted outcome of the next child.
class FakeProgramStarter final : public ProgramStarter {
public:
    struct Script {
        ResultCode start = rc::Ok;
        ResultCode wait = rc::Ok;
        bool ended = true;
        ResultCode query = rc::Ok;
        std::uint32_t exitStatus = 0;
    };

    ResultCode Start(const std::wstring& program, const std::wstring& commandLine,
                     std::unique_ptr<ChildProcess>& child) noexcept override {
        programs.push_back(program);
        commandLines.push_back(commandLine);
        const Script s = scripts.empty() ? Script{} : scripts.front();
        if (!scripts.empty()) scripts.erase(scripts.begin());
        if (Failed(s.start)) return s.start;
        child = std::make_unique<Child>(s, closed);
        return rc::Ok;
    }

    std::vector<Script> scripts;
    std::vector<std::wstring> programs, commandLines;
    int closed = 0;

private:
    struct Child final : ChildProcess {
        Child(Script script, int& count) : s(script), closed(count) {}
        ~Child() override { ++closed; }
        ResultCode Wait(bool& ended) noexcept override {
            if (Succeeded(s.wait)) ended = s.ended;
            return s.wait;
        }
        ResultCode QueryExitStatus(std::uint32_t& status) noexcept override {
            if (Succeeded(s.query)) status = s.exitStatus;
            return s.query;
        }
        Script s;
        int& closed;
    };
};

}  // namespace qor::test
