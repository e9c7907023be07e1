#pragma once
// Files beside a stand-in DLL: the calls it records and the answers a test chooses.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace qortestbed {

inline HMODULE& Self() {
    static HMODULE self = nullptr;
    return self;
}

// "<folder of the DLL>\<name>".
inline std::wstring BesideModule(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(Self(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L'\\') + 1) + name;
}

// Appends one UTF-8 line to the record file.
inline void Record(const wchar_t* recordFile, const std::wstring& line) {
    if (FILE* out = _wfopen(BesideModule(recordFile).c_str(), L"ab")) {
        const std::wstring text = line + L"\n";
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
        std::fwrite(utf8.data(), 1, utf8.size() - 1, out);
        std::fclose(out);
    }
}

// The UTF-8 lines of a file beside the DLL; none when it is missing.
inline std::vector<std::wstring> ReadLines(const wchar_t* name) {
    std::vector<std::wstring> lines;
    FILE* in = _wfopen(BesideModule(name).c_str(), L"rb");
    if (!in) return lines;
    std::string bytes;
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, n);
    std::fclose(in);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int units = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), units);
        lines.push_back(wide);
        start = end + 1;
    }
    return lines;
}

// Lower-case hexadecimal without leading zeros.
inline std::wstring Hex(unsigned long value) {
    std::wstring text;
    do {
        text.insert(text.begin(), L"0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace qortestbed
