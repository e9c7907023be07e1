// Listens on a TCP port for a number of seconds, after printing its process identifier: an
// owner of a listening connection for the e2e tests.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: listener PORT SECONDS\n");
        return 2;
    }
    const auto port = static_cast<u_short>(std::wcstoul(argv[1], nullptr, 10));
    const DWORD seconds = std::wcstoul(argv[2], nullptr, 10);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 1) != 0) {
        std::fwprintf(stderr, L"cannot listen: %d\n", WSAGetLastError());
        return 4;
    }
    std::wprintf(L"%lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    Sleep(seconds * 1000);
    closesocket(listener);
    WSACleanup();
    return 0;
}
