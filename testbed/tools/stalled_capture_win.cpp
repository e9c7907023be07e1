// stalled_capture [ARGS...]
// A program whose output is captured and which then hangs: it writes one line naming its
// arguments, then waits 30 seconds before it ends. Placed as a system program (arp.exe, say),
// it stands for a capture that overruns its step's deadline.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    std::printf("stalled capture:");
    for (int i = 1; i < argc; ++i) std::printf(" %ls", argv[i]);
    std::printf("\n");
    std::fflush(stdout);
    Sleep(30 * 1000);
    return 0;
}
