#pragma once
// The suite's own modules: which module serves an interface, and the manager that loads
// them from the program directory and creates their objects.
#include <array>
#include <cstdint>
#include <list>
#include <mutex>
#include <span>
#include <string>

#include "common/result.h"

namespace qor {

// A 16-byte interface identifier, bytes as stored.
struct InterfaceId {
    std::array<std::uint8_t, 16> bytes;
    bool operator==(const InterfaceId&) const = default;
    // The identifier as four little-endian 32-bit words.
    std::array<std::uint32_t, 4> Words() const noexcept;
};

namespace iid {
extern const InterfaceId Configuration;  // served by "qorcfgx"
extern const InterfaceId Communication;  // served by "qorcommx"
}  // namespace iid

struct ModuleRegistration {
    const InterfaceId* id;
    const wchar_t* baseName;
};

// The registration table, searched in order.
std::span<const ModuleRegistration> ModuleRegistrations() noexcept;

// A module that exports neither factory.
inline constexpr ResultCode kNoModuleFactory = SuiteError(0x3C);

inline constexpr const char* kFactoryExport = "GetQorObject2";
inline constexpr const char* kLegacyFactoryExport = "GetQorObject";
inline constexpr const char* kInitExport = "QorModuleInit";
inline constexpr const char* kFinishExport = "QorModuleFinish";

using ModuleHandle = void*;
using ModuleExport = void (*)();

enum class FactoryKind { IdByPointer, IdByValue };

// The system's loader and the calls into a module's exports.
class ModuleLoader {
public:
    virtual ~ModuleLoader() = default;
    // Whether the loader could be set up; a failure ends the manager's construction.
    [[nodiscard]] virtual ResultCode Ready() noexcept = 0;
    [[nodiscard]] virtual ResultCode Load(const std::wstring& path, ModuleHandle& out) noexcept = 0;
    // Null when the module lacks the export.
    virtual ModuleExport Find(ModuleHandle module, const char* name) noexcept = 0;
    virtual void Unload(ModuleHandle module) noexcept = 0;
    [[nodiscard]] virtual ResultCode CallFactory(ModuleExport factory, FactoryKind kind,
                                                 const InterfaceId& id, void** out) noexcept = 0;
    // "QorModuleInit" and "QorModuleFinish"; their answers are not used.
    virtual void CallHook(ModuleExport hook) noexcept = 0;
};

class SuiteModuleManager {
public:
    // Throws through ThrowIfFailed when the loader is not usable.
    explicit SuiteModuleManager(ModuleLoader& loader);
    SuiteModuleManager(const SuiteModuleManager&) = delete;
    SuiteModuleManager& operator=(const SuiteModuleManager&) = delete;
    // Finishes and unloads every module, in reverse order of loading.
    ~SuiteModuleManager();

    // An empty directory stands for ".".
    void SetDirectory(const std::wstring& directory);
    // `out` is set only on success.
    [[nodiscard]] ResultCode CreateObject(const InterfaceId& id, void** out);

private:
    struct LoadedModule {
        std::wstring directory;
        std::wstring baseName;
        ModuleHandle handle = nullptr;
        ModuleExport factory = nullptr;
        FactoryKind kind = FactoryKind::IdByPointer;
        ModuleExport finish = nullptr;  // set only when init was called
    };

    [[nodiscard]] ResultCode Acquire(const wchar_t* baseName, LoadedModule*& out);
    [[nodiscard]] ResultCode LoadModule(const std::wstring& directory, const wchar_t* baseName,
                                        LoadedModule& out);

    ModuleLoader& loader_;
    std::mutex lock_;
    std::wstring directory_ = L".";
    std::list<LoadedModule> modules_;  // stable addresses
};

}  // namespace qor
