// A library whose start never ends: loaded by the engine client stand-in when
// "EngineAnswer" is "hang-in-loader", it keeps the loading thread inside the loader (and its
// lock) for ten minutes.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Sleep(10 * 60 * 1000);
    return TRUE;
}
