#include "maintenance/ndis_installer.h"

#include "common/path_join.h"
#include "product/product_constants.h"

namespace qor {
namespace {

constexpr std::uint32_t kStillActive = 259;
constexpr ResultCode kInvalidParameter = SuiteError(0x02);

const wchar_t* SwitchOf(std::uint32_t operation) noexcept {
    switch (operation) {
        case ndis_op::Install: return L" /Install";
        case ndis_op::Uninstall: return L" /Uninstall";
        case ndis_op::Reinstall: return L" /Reinstall";
        default: return nullptr;
    }
}

ResultCode WaitForExit(Console& console, ChildProcess& child, std::uint32_t& status) {
    bool ended = false;
    if (const ResultCode code = child.Wait(ended); Failed(code)) {
        console.Write(L"Wait operation failed. ");
        return code;
    }
    if (!ended) {
        console.Write(L"Wait terminated unexpectedly. ");
        return kNdisWaitAborted;
    }
    if (const ResultCode code = child.QueryExitStatus(status); Failed(code)) {
        console.Write(L"Process terminated but cannot get the error. ");
        return code;
    }
    return rc::Ok;
}

}  // namespace

const wchar_t* ProcessorLetter(const OsVersionRecord& os) noexcept {
    switch (os.processorClass) {
        case ProcessorClass::X86: return L"x";
        case ProcessorClass::Amd64: return L"a";
        default: return L"";
    }
}

ResultCode RunNdisInstaller(NdisInstallerContext& context, std::uint32_t operation,
                            std::uint32_t& rebootNeeded) {
    std::wstring directory;
    const ResultCode found = context.installation.LookupProductDirectory(
        product_dir::Program, directory, std::nullopt, ProductGeneration);
    if (Failed(found)) return found;
    const wchar_t* const option = SwitchOf(operation);
    if (option == nullptr) return kInvalidParameter;
    // Joined, not appended: the registry's directory need not end in a separator.
    const std::wstring program =
        JoinPath(directory, std::wstring(L"qorndis") + ProcessorLetter(context.os) + L".exe");
    std::unique_ptr<ChildProcess> child;
    if (const ResultCode code = context.starter.Start(program, program + option, child);
        Failed(code)) {
        context.console.Write(L"NDIS operation has failed. ");
        return code;
    }
    std::uint32_t status = 0;
    if (const ResultCode code = WaitForExit(context.console, *child, status); Failed(code)) {
        return code;
    }
    const ResultCode exitCode =
        status == kStillActive ? kNdisStillActive : static_cast<ResultCode>(status);
    if (exitCode == rc::Ok || exitCode == kNdisDoneRebootNeeded) {
        rebootNeeded = exitCode == rc::Ok ? 0 : 1;
        context.console.Write(L"NDIS operation OK. ");
        return rc::Ok;
    }
    context.console.Write(L"Process terminated with an error. ");
    return exitCode;
}

}  // namespace qor
