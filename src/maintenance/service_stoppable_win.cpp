#include "maintenance/service_stoppable.h"

#include "product/module_loader_win.h"
#include "product/product_constants.h"
#include "product/suite_module_abi_win.h"
#include "product/suite_modules.h"

namespace qor {
namespace {

using namespace moduleabi;

// Open the node, set the value, commit; the first failure ends it.
ResultCode WriteStoppable(Object* configuration, bool stoppable) {
    Object* rawNode = nullptr;
    const auto open = Operation<OpenConfigNodeFn>(configuration, kOpenConfigNodePlace);
    if (const ResultCode code = open(configuration, kServiceConfigNode, 0, &rawNode); Failed(code))
        return code;
    const ModuleObjectRef node(rawNode);
    if (!node.Usable()) return rc::ArgumentMissing;
    const auto set = Operation<SetBoolFn>(node.Get(), kSetBoolPlace);
    if (const ResultCode code = set(node.Get(), kServiceStoppableValue, stoppable ? 1 : 0);
        Failed(code))
        return code;
    const auto commit = Operation<CommitFn>(node.Get(), kCommitPlace);
    if (const ResultCode code = commit(node.Get(), 0, 1, 0); Failed(code)) return code;
    return rc::Ok;
}

}  // namespace

ResultCode SetServiceStoppable(ProductInstallation& installation, bool stoppable) {
    WinModuleLoader loader;
    SuiteModuleManager manager(loader);
    std::wstring directory;
    if (const ResultCode code = installation.LookupProductDirectory(
            product_dir::Program, directory, std::nullopt, ProductGeneration);
        Failed(code))
        return code;
    manager.SetDirectory(directory);
    void* object = nullptr;
    if (const ResultCode code = manager.CreateObject(iid::Configuration, &object); Failed(code))
        return code;
    const ModuleObjectRef configuration(object);  // released before the manager unloads
    if (!configuration.Usable()) return rc::ArgumentMissing;
    return WriteStoppable(configuration.Get(), stoppable);
}

}  // namespace qor
