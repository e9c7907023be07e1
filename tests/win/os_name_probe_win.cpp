// Fills the operating-system record and prints it as "key=value" lines.
#include <cstdio>

#include "platform/os_version.h"
#include "platform/win/os_version_win.h"

int wmain() {
    const qor::ResultCode first = qor::InitOsVersionRecord();
    const qor::ResultCode second = qor::InitOsVersionRecord();
    const qor::OsVersionRecord& r = qor::GetOsVersionRecord();
    wprintf(L"init=0x%08x\nagain=0x%08x\nfilled=%d\n", static_cast<unsigned>(first),
            static_cast<unsigned>(second), r.filled ? 1 : 0);
    wprintf(L"name=%ls\n", r.displayName.c_str());
    wprintf(L"version=%u.%u.%u.%u\n", r.majorVersion, r.minorVersion, r.buildNumber,
            r.fourthVersionWord);
    wprintf(L"servicepack=%u.%u\nclass=%u\nproducttype=%u\nsuite=0x%04x\n",
            r.servicePackMajor, r.servicePackMinor, static_cast<unsigned>(r.processorClass),
            r.productType, r.suiteMask);
    wprintf(L"processors=%u\npagesize=%u\ngranularity=%u\n", r.numberOfProcessors, r.pageSize,
            r.allocationGranularity);
    wprintf(L"xp=%d\nxporlater=%d\nserver2003=%d\nvista=%d\nwin8=%d\nx64=%d\n", r.IsWindowsXp(),
            r.IsXpOrLater(), r.IsServer2003Family(), r.IsVistaOrLater(), r.IsWindows8OrLater(),
            r.Is64BitSystem());
    fflush(stdout);
    return first;
}
