#include "diag/system/command_captures.h"

#include <initializer_list>
#include <new>

#include "common/text_format.h"

namespace qor {
namespace {

// Formats with the one path; a text that cannot be made is an allocation failure.
[[nodiscard]] ResultCode Format(const wchar_t* format, const std::wstring& path,
                                std::wstring& out) noexcept {
    try {
        out = FormatText(format, path.c_str());
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return out.empty() ? rc::OutOfMemory : rc::Ok;
}

[[nodiscard]] ResultCode RegistryExport(const CaptureTarget& target, const wchar_t* fileName,
                                        const wchar_t* key) noexcept {
    std::wstring path, format, command;
    if (const ResultCode code = CaptureFilePath(target, fileName, path); Failed(code)) return code;
    try {
        format = std::wstring(L"regedit.exe /e:a \"%ls\" \"") + key + L"\"";
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    if (const ResultCode code = Format(format.c_str(), path, command); Failed(code)) return code;
    return target.launcher.Detached(command);
}

[[nodiscard]] ResultCode Captures(const CaptureTarget& target, const wchar_t* fileName,
                                  std::initializer_list<const wchar_t*> commands) noexcept {
    std::wstring path;
    if (const ResultCode code = CaptureFilePath(target, fileName, path); Failed(code)) return code;
    ResultCode result = rc::Ok;
    for (const wchar_t* command : commands) {
        ResultCode code = rc::OutOfMemory;
        try {
            code = target.launcher.Capture(command, path);
        } catch (const std::bad_alloc&) {
        }
        if (Failed(code) && Succeeded(result)) result = code;
    }
    return result;
}

}  // namespace

ResultCode DumpRegistryLsp(const CaptureTarget& target) noexcept {
    return RegistryExport(target, L"lspdump.txt",
                          L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WinSock2");
}

ResultCode DumpRegistryUninstall(const CaptureTarget& target, bool native) noexcept {
    return RegistryExport(
        target, native ? L"appdu64.txt" : L"appdump.txt",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
}

ResultCode DumpRegistryVendor(const CaptureTarget& target, bool native) noexcept {
    return RegistryExport(target, native ? L"qor7du64.txt" : L"qor7dump.txt",
                          L"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELLONI");
}

ResultCode DumpRegistryProduct(const CaptureTarget& target, bool native) noexcept {
    return RegistryExport(target, native ? L"qor8du64.txt" : L"qor8dump.txt",
                          L"HKEY_LOCAL_MACHINE\\SOFTWARE\\QOR");
}

ResultCode DumpRegistryControlSet(const CaptureTarget& target) noexcept {
    return RegistryExport(target, L"ccsdump.txt",
                          L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet");
}

ResultCode DumpInstalledDrivers(const CaptureTarget& target) noexcept {
    return Captures(target, L"drvdump.txt", {L"driverquery.exe /v"});
}

ResultCode DumpIpConfiguration(const CaptureTarget& target) noexcept {
    return Captures(target, L"ipcdump.txt",
                    {L"netsh.exe interface ip show config", L"netsh.exe interface ipv6 show interface",
                     L"netsh.exe interface ipv6 show address", L"ipconfig.exe /all"});
}

ResultCode DumpRouteTable(const CaptureTarget& target) noexcept {
    return Captures(target, L"iprdump.txt",
                    {L"route.exe print", L"netsh.exe interface ipv6 show route"});
}

ResultCode DumpArpTable(const CaptureTarget& target) noexcept {
    return Captures(target, L"arpdump.txt", {L"arp.exe -a"});
}

ResultCode DumpFilteringPlatform(const CaptureTarget& target, bool vistaOrLater) noexcept {
    if (!vistaOrLater) return rc::Ok;
    struct Export {
        const wchar_t* fileName;
        const wchar_t* format;
    };
    static constexpr Export kExports[] = {
        {L"wfpstate.xml", L"netsh.exe wfp show state file=\"%ls\""},
        {L"wfpfltr.xml", L"netsh.exe wfp show filter file=\"%ls\""},
        {L"wfpboot.xml", L"netsh.exe wfp show boottimepolicy file=\"%ls\""},
    };
    std::wstring paths[3];
    for (int i = 0; i < 3; ++i) {
        if (const ResultCode code = CaptureFilePath(target, kExports[i].fileName, paths[i]); Failed(code)) {
            return code;
        }
    }
    for (int i = 0; i < 3; ++i) {
        std::wstring command;
        if (const ResultCode code = Format(kExports[i].format, paths[i], command); Failed(code)) {
            return code;
        }
        if (const ResultCode code = target.launcher.AndWait(command); Failed(code)) return code;
    }
    return rc::Ok;
}

}  // namespace qor
