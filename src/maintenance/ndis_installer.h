#pragma once
// The suite's NDIS driver installer: started with one switch, waited for, its exit code read.
#include <cstdint>
#include <memory>
#include <string>

#include "common/console.h"
#include "common/result.h"
#include "platform/os_version.h"
#include "product/install_lookup.h"

namespace qor {

namespace ndis_op {
inline constexpr std::uint32_t Install = 1;
inline constexpr std::uint32_t Uninstall = 2;
inline constexpr std::uint32_t Reinstall = 3;
}  // namespace ndis_op

// Exit code of a success that needs a restart; 259 read as a code is kNdisStillActive.
inline constexpr ResultCode kNdisDoneRebootNeeded = static_cast<ResultCode>(0x60018D39u);
inline constexpr ResultCode kNdisStillActive = static_cast<ResultCode>(0xA001000Au);
// A wait that ended without the installer having ended.
inline constexpr ResultCode kNdisWaitAborted = SuiteError(0x57);

// One started child; its handle is closed when this is destroyed.
class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // Waits without a time limit. `ended` false: the wait returned for another reason.
    [[nodiscard]] virtual ResultCode Wait(bool& ended) noexcept = 0;
    [[nodiscard]] virtual ResultCode QueryExitStatus(std::uint32_t& status) noexcept = 0;
};

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts exactly `program` (never searched for) with `commandLine` as its command line.
    [[nodiscard]] virtual ResultCode Start(const std::wstring& program,
                                           const std::wstring& commandLine,
                                           std::unique_ptr<ChildProcess>& child) noexcept = 0;
};

struct NdisInstallerContext {
    Console& console;
    const OsVersionRecord& os;
    ProductInstallation& installation;
    ProgramStarter& starter;
};

// "x" on x86, "a" on AMD64, nothing on another processor class.
const wchar_t* ProcessorLetter(const OsVersionRecord& os) noexcept;

// Runs the installer with the operation's switch and prints one verdict ending in a blank.
// 0 and kNdisDoneRebootNeeded are success (0 returned; `rebootNeeded` set to 0 or 1);
// any other exit code is returned as it is.
[[nodiscard]] ResultCode RunNdisInstaller(NdisInstallerContext& context, std::uint32_t operation,
                                          std::uint32_t& rebootNeeded);

}  // namespace qor
