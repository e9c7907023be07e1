#pragma once
#include <string>

#include "common/console.h"

namespace qor::test {

// Scripted input bytes; everything written is kept.
class FakeConsole final : public Console {
public:
    explicit FakeConsole(std::string input = {}) : input_(std::move(input)) {}

    void Write(std::wstring_view text) override { output.append(text); }
    int ReadByte() override {
        if (next_ >= input_.size()) return kEndOfInput;
        ++reads;
        return static_cast<unsigned char>(input_[next_++]);
    }
    bool InputConsumed() const { return next_ >= input_.size(); }

    std::wstring output;
    int reads = 0;

private:
    std::string input_;
    std::size_t next_ = 0;
};

}  // namespace qor::test
