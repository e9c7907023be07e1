#pragma once
// Console text a step writes while it runs, shown by the run at the step's turn: no step
// thread writes on the console itself.
#include <mutex>
#include <string>
#include <string_view>

#include "common/console.h"

namespace qor {

// Shared by the step's thread and the run. What is written after the run took the text (a
// step given up, still at work) is dropped.
class HeldText {
public:
    void Append(std::wstring_view text) noexcept;
    // What was written until now; later writes are dropped.
    std::wstring Take() noexcept;

private:
    std::mutex mutex_;
    std::wstring text_;
    bool taken_ = false;
};

// A console whose output is held; it has no input.
class HeldConsole final : public Console {
public:
    explicit HeldConsole(HeldText& held) noexcept : held_(held) {}
    void Write(std::wstring_view text) override { held_.Append(text); }
    int ReadByte() override { return kEndOfInput; }

private:
    HeldText& held_;
};

}  // namespace qor
