#include "product/logging_attach.h"

#include "common/path_join.h"
#include "product/product_constants.h"

namespace qor {

ResultCode AttachLoggingModule(ProductInstallation& installation, LoggingModule& module) {
    // The program's own folder only where others cannot plant a module; never a relative one.
    std::wstring moduleFolder;
    if (installation.LookupProductDirectory(product_dir::Program, moduleFolder, std::nullopt,
                                            ProductGeneration) != rc::Ok) {
        moduleFolder = installation.TrustedOwnFolder();
    }
    std::wstring logFolder;
    installation.GetLogDirectory(logFolder);
    if (logFolder.empty()) logFolder = L".";

    if (!module.IsLoaded()) {
        if (!IsAbsolutePath(moduleFolder) || !installation.Sources().IsDirectory(moduleFolder)) {
            return rc::PathNotFound;
        }
        if (const ResultCode code = module.Load(moduleFolder); Failed(code)) return code;
    }
    if (!module.IsConfigured()) {
        if (const ResultCode code = module.Configure(logFolder); Failed(code)) return code;
    }
    return module.Start(0);
}

}  // namespace qor
