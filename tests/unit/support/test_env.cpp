#include "support/test_env.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/path_join.h"
#include "platform/fs.h"
#include "platform/system_env.h"

namespace qor::test {

std::wstring SystemTempFolder();

EnvironmentGuard::EnvironmentGuard(std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        std::wstring value;
        const bool set = ReadEnvironmentPath(name, value) == rc::Ok;
        saved_.push_back({name, set, value});
    }
}

EnvironmentGuard::~EnvironmentGuard() {
    for (const Saved& each : saved_) {
        if (each.set) {
            SetEnvironment(each.name, each.value);
        } else {
            UnsetEnvironment(each.name);
        }
    }
}

ScratchDirectory::ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info ? info->name() : "scratch";
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = JoinPath(SystemTempFolder(), L"qortest-" + std::wstring(name.begin(), name.end()) +
                                                 L"-" + std::to_wstring(++counter));
        if (fs::MakeDirectory(path_) == rc::Ok) return;
        (void)fs::RemoveTree(path_);
    }
    ADD_FAILURE() << "cannot make a scratch directory";
}

ScratchDirectory::~ScratchDirectory() { (void)fs::RemoveTree(path_); }

std::wstring ScratchDirectory::operator/(const std::wstring& name) const {
    return JoinPath(path_, name);
}

std::string ReadBytes(const std::wstring& path) {
    fs::File file;
    if (fs::OpenForReading(path, file) != rc::Ok) return "<missing>";
    std::string bytes;
    char buffer[4096];
    for (std::uint32_t got = 0; file.Read(buffer, sizeof buffer, got) == rc::Ok && got > 0;) {
        bytes.append(buffer, got);
    }
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    fs::File file;
    ASSERT_EQ(fs::CreateExclusive(path, file), rc::Ok);
    std::uint32_t written = 0;
    ASSERT_EQ(file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written), rc::Ok);
}

}  // namespace qor::test
