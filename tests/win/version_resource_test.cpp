// The version resource reader against images made from resource scripts and against what the
// system's own version functions report for every image of the system directories.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/dir_enum.h"
#include "platform/version_resource.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

std::wstring BesideTests(const std::wstring& name) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

struct SystemVersion {
    bool found = false;
    std::wstring text;  // the fixed file version
    std::vector<BYTE> block;
};

SystemVersion ReadWithSystem(const std::wstring& path) {
    SystemVersion out;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return out;
    out.block.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, out.block.data())) return out;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    out.found = VerQueryValueW(out.block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) &&
                fixedSize >= sizeof(VS_FIXEDFILEINFO);
    if (!out.found) return out;
    for (const DWORD half : {fixed->dwFileVersionMS, fixed->dwFileVersionLS}) {
        out.text += std::to_wstring(HIWORD(half)) + L"." + std::to_wstring(LOWORD(half)) + L".";
    }
    out.text.pop_back();
    return out;
}

// The value of `key` in the string table our reading chose; false when the system's reading
// holds no such table.
bool SystemString(const SystemVersion& version, const FileVersionInfo& info, const wchar_t* key,
                  std::wstring& out) {
    wchar_t query[80];
    std::swprintf(query, 80, L"\\StringFileInfo\\%04x%04x\\%ls", info.language, info.codePage,
                  key);
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(version.block.data(), query, reinterpret_cast<void**>(&value), &chars) ||
        value == nullptr) {
        return false;
    }
    out = value;
    return true;
}

// A 16-bit image, whose version the system reads and ours, for Portable Executables only,
// does not.
bool IsSixteenBitImage(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return false;
    BYTE header[0x40] = {}, signature[2] = {};
    const bool ne = std::fread(header, 1, sizeof header, file) == sizeof header &&
                    std::fseek(file, *reinterpret_cast<const LONG*>(header + 0x3C), SEEK_SET) == 0 &&
                    std::fread(signature, 1, 2, file) == 2 && signature[0] == 'N' && signature[1] == 'E';
    std::fclose(file);
    return ne;
}

TEST(VersionResourceWin, FileOpenForWritingElsewhereIsRefused) {
    const std::wstring path = BesideTests(L"standard.dll");
    FileHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    VersionResourceReader reader;
    EXPECT_EQ(reader.OpenForVersion(path), ResultFromWin32(ERROR_SHARING_VIOLATION));
    writer.Reset();
    EXPECT_EQ(reader.OpenForVersion(path), rc::Ok);
}

// Our reading and the system's agree on the fixed version and on the company name of the table
// we chose (a file's line needs the strings read); false when either has no version to compare.
// `strings` counts the images whose company names were compared.
bool AgreesWithSystem(const std::wstring& path, int& strings) {
    const SystemVersion system = ReadWithSystem(path);
    VersionResourceReader reader;
    std::wstring version;
    ResultCode result = reader.OpenForVersion(path);
    if (Succeeded(result)) result = reader.GetFileVersionText(version);
    if (result == rc::MalformedImage && IsSixteenBitImage(path)) return false;
    EXPECT_EQ(Succeeded(result), system.found) << path << L" " << result;
    if (!system.found || Failed(result)) return false;
    EXPECT_EQ(version, system.text) << path;
    FileVersionInfo info;
    std::wstring company;
    if (reader.ReadStrings(info) == rc::Ok &&
        SystemString(system, info, L"CompanyName", company)) {
        EXPECT_EQ(info.texts[version_text::CompanyName], company) << path;
        ++strings;
    }
    return true;
}

// Every program and library of the system directories, 64-bit and 32-bit (the images of the
// resource scripts are checked value by value in the unit tier).
TEST(VersionResourceWin, AgreesWithTheSystem) {
    wchar_t windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    int compared = 0, images = 0, strings = 0;
    for (const wchar_t* folder : {L"\\system32", L"\\syswow64"}) {
        for (const wchar_t* mask : {L"*.dll", L"*.exe"}) {
            fs::DirectoryEnumerator listing;
            if (listing.Open(std::wstring(windows) + folder, mask, fs::kinds::Files) != rc::Ok) {
                continue;
            }
            fs::DirectoryEntry entry;
            while (listing.Next(entry) == rc::Ok) {
                ++images;
                if (AgreesWithSystem(entry.fullPath, strings)) ++compared;
            }
        }
    }
    std::printf("%d images, %d with a version compared, %d with their strings\n", images,
                compared, strings);
    EXPECT_GT(compared, 200);
    EXPECT_GT(strings, 200);
}

}  // namespace
}  // namespace qor
