#include "diag/suite/firewall_state.h"
#include "product/module_loader_win.h"
#include "product/suite_module_abi_win.h"
#include "product/suite_modules.h"

namespace qor {
namespace {

using namespace moduleabi;

// The communication object's function table behind the collector's interface.
class CommunicationTree final : public ValueTreeConnection {
public:
    explicit CommunicationTree(Object* object) : object_(object) {}

    ResultCode GetRoot(ValueNode& root) override {
        return Op<GetRootFn>(kGetRootPlace)(object_, &root);
    }
    ResultCode OpenNode(ValueNode root, const std::wstring& path, ValueNode& node) override {
        return Op<OpenValueNodeFn>(kOpenValueNodePlace)(object_, root, path.c_str(), &node);
    }
    ResultCode ReadValue(ValueNode node, std::uint32_t type, unsigned char* buffer,
                         std::uint32_t bytes) override {
        return Op<ReadValueFn>(kReadValuePlace)(object_, node, type, buffer, bytes);
    }
    void ReleaseNode(ValueNode node) override {
        (void)Op<ReleaseNodeFn>(kReleaseNodePlace)(object_, node);
    }
    ResultCode WaitReply(std::uint32_t milliseconds) override {
        return Op<WaitReplyFn>(kWaitReplyPlace)(object_, milliseconds);
    }
    ResultCode Reconnect() override { return Op<ReconnectFn>(kReconnectPlace)(object_); }

private:
    template <typename Fn>
    Fn Op(int place) const {
        return Operation<Fn>(object_, place);
    }

    Object* object_;
};

}  // namespace

ResultCode DumpFirewallState(const std::wstring& programDirectory, std::wstring& text) {
    WinModuleLoader loader;
    SuiteModuleManager manager(loader);
    manager.SetDirectory(programDirectory);
    void* object = nullptr;
    if (const ResultCode code = manager.CreateObject(iid::Communication, &object); Failed(code))
        return code;
    const ModuleObjectRef communication(object);  // released before the manager unloads
    if (!communication.Usable()) return rc::ArgumentMissing;
    CommunicationTree tree(communication.Get());
    return DumpFirewallStateFrom(tree, text);
}

}  // namespace qor
