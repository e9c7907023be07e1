// The communication module's answers: each call takes its result code from the input, and
// each read fills the caller's buffer with input bytes, without a terminator.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "diag/suite/firewall_state.h"

namespace {

class ReplayTree final : public qor::ValueTreeConnection {
public:
    ReplayTree(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    qor::ResultCode GetRoot(qor::ValueNode& root) override {
        root = this;
        return Code();
    }
    qor::ResultCode OpenNode(qor::ValueNode, const std::wstring&, qor::ValueNode& node) override {
        node = this;
        return Code();
    }
    qor::ResultCode ReadValue(qor::ValueNode, std::uint32_t, unsigned char* buffer,
                              std::uint32_t bytes) override {
        const qor::ResultCode code = Code();
        const std::size_t count = std::min<std::size_t>(bytes, size_);
        std::memcpy(buffer, data_, count);
        Take(count);
        return code;
    }
    void ReleaseNode(qor::ValueNode) override {}
    qor::ResultCode WaitReply(std::uint32_t) override { return Code(); }
    qor::ResultCode Reconnect() override { return Code(); }

private:
    // One byte chooses among the answers a module may give.
    qor::ResultCode Code() {
        if (size_ == 0) return qor::rc::Ok;
        const std::uint8_t pick = data_[0];
        Take(1);
        switch (pick % 5) {
            case 1: return qor::kReplyPending;
            case 2: return qor::kConnectionLost;
            case 3: return qor::rc::FileNotFound;
            case 4: return 1;  // success with information
            default: return qor::rc::Ok;
        }
    }
    void Take(std::size_t count) {
        data_ += count;
        size_ -= count;
    }

    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplayTree tree(data, size);
    std::wstring text;
    (void)qor::DumpFirewallStateFrom(tree, text);
    return 0;
}
