#pragma once
// Test support: environment variables and scratch directories on either platform.
#include <initializer_list>
#include <string>
#include <vector>

namespace qor::test {

void SetEnvironment(const std::wstring& name, const std::wstring& value);
void UnsetEnvironment(const std::wstring& name);

// Puts the named variables back as they were when it was made.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::initializer_list<const wchar_t*> names);
    ~EnvironmentGuard();
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    struct Saved {
        std::wstring name;
        bool set;
        std::wstring value;
    };
    std::vector<Saved> saved_;
};

// A fresh directory under the system's temporary folder, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const;

private:
    std::wstring path_;
};

// A symbolic link at `link` to the directory `target`; false when none could be made. Under
// Wine a Unix link, which Wine lists as a reparse point.
bool PlantDirectoryLink(const std::wstring& link, const std::wstring& target);
// A second name for the file `existing`.
bool PlantHardLink(const std::wstring& link, const std::wstring& existing);

// Whole-file helpers on the platform's file system.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

}  // namespace qor::test
