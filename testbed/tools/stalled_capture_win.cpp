// stalled_capture [ARGS...]
// A program whose output is captured and which then hangs: it appends its arguments as one
// line to "stalled_capture.log" beside itself, writes one line naming them, then waits 30
// seconds before it ends. Placed as a system program (arp.exe, say), it stands for a capture
// that overruns its step's deadline.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void RecordStart(const std::wstring& args) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length < MAX_PATH ? length : 0);
    const std::wstring log = self.substr(0, self.find_last_of(L'\\') + 1) + L"stalled_capture.log";
    if (FILE* out = _wfopen(log.c_str(), L"ab")) {
        std::fprintf(out, "%ls\n", args.c_str());
        std::fclose(out);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring args;
    for (int i = 1; i < argc; ++i) args += std::wstring(L" ") + argv[i];
    RecordStart(args);
    std::printf("stalled capture:%ls\n", args.c_str());
    std::fflush(stdout);
    Sleep(30 * 1000);
    return 0;
}
