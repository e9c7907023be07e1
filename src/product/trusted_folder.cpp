#include "product/trusted_folder.h"

#include <vector>

namespace qor {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t Fold(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

// The non-empty components of a path: "C:\a\\b\" gives "C:", "a", "b".
std::vector<std::wstring_view> Components(std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool SameComponent(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

// A full path: a drive and a root ("C:\"), or a UNC path ("\\server\share").
bool IsFullPath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) return true;
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           !IsSeparator(path[2]);
}

bool HasRelativeStep(const std::vector<std::wstring_view>& parts) {
    for (const std::wstring_view part : parts) {
        if (part == L"." || part == L"..") return true;
    }
    return false;
}

}  // namespace

bool IsSameOrUnderFolder(std::wstring_view path, std::wstring_view root) {
    if (!IsFullPath(path) || !IsFullPath(root)) return false;
    if (IsSeparator(path[0]) != IsSeparator(root[0])) return false;
    const auto pathParts = Components(path);
    const auto rootParts = Components(root);
    if (rootParts.empty() || pathParts.size() < rootParts.size()) return false;
    if (HasRelativeStep(pathParts) || HasRelativeStep(rootParts)) return false;
    for (std::size_t i = 0; i < rootParts.size(); ++i) {
        if (!SameComponent(pathParts[i], rootParts[i])) return false;
    }
    return true;
}

bool IsInstallationDirectory(std::wstring_view folder, std::wstring_view installDirectory) {
    return !installDirectory.empty() && IsSameOrUnderFolder(folder, installDirectory) &&
           Components(folder).size() == Components(installDirectory).size();
}

bool IsUnderProgramFiles(std::wstring_view folder,
                         std::span<const std::wstring> programFilesFolders) {
    for (const std::wstring& root : programFilesFolders) {
        if (IsSameOrUnderFolder(folder, root)) return true;
    }
    return false;
}

}  // namespace qor
