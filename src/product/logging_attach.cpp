#include "product/logging_attach.h"

#include "product/product_constants.h"

namespace qor {

ResultCode AttachLoggingModule(ProductInstallation& installation, LoggingModule& module) {
    std::wstring moduleFolder;
    if (installation.LookupProductDirectory(product_dir::Program, moduleFolder, std::nullopt,
                                            ProductGeneration) != rc::Ok) {
        moduleFolder = installation.Sources().OwnExecutableFolder();
    }
    std::wstring logFolder;
    installation.GetLogDirectory(logFolder);
    if (moduleFolder.empty()) moduleFolder = L".";
    if (logFolder.empty()) logFolder = L".";

    if (!module.IsLoaded()) {
        if (!installation.Sources().IsDirectory(moduleFolder)) return rc::PathNotFound;
        if (const ResultCode code = module.Load(moduleFolder); Failed(code)) return code;
    }
    if (!module.IsConfigured()) {
        if (const ResultCode code = module.Configure(logFolder); Failed(code)) return code;
    }
    return module.Start(0);
}

}  // namespace qor
