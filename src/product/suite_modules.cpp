#include "product/suite_modules.h"

#include <algorithm>

#include "common/error_record.h"
#include "common/path_join.h"

namespace qor {

// {BDA9C642-856A-F049-9140-65674E8F98A8}
const InterfaceId iid::Configuration{{0x42, 0xC6, 0xA9, 0xBD, 0x6A, 0x85, 0x49, 0xF0,
                                      0x91, 0x40, 0x65, 0x67, 0x4E, 0x8F, 0x98, 0xA8}};
// {46AF309F-45BF-8A46-8617-26BE13B66B0A}
const InterfaceId iid::Communication{{0x9F, 0x30, 0xAF, 0x46, 0xBF, 0x45, 0x8A, 0x46,
                                      0x86, 0x17, 0x26, 0xBE, 0x13, 0xB6, 0x6B, 0x0A}};

namespace {

// One row per interface of the suite's modules; this program uses these two.
constexpr ModuleRegistration kRegistrations[] = {
    {&iid::Configuration, L"qorcfgx"},
    {&iid::Communication, L"qorcommx"},
};

}  // namespace

std::array<std::uint32_t, 4> InterfaceId::Words() const noexcept {
    std::array<std::uint32_t, 4> words{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        words[i / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
    return words;
}

std::span<const ModuleRegistration> ModuleRegistrations() noexcept { return kRegistrations; }

SuiteModuleManager::SuiteModuleManager(ModuleLoader& loader) : loader_(loader) {
    ThrowIfFailed(loader_.Ready());
}

SuiteModuleManager::~SuiteModuleManager() {
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
        if (it->finish) loader_.CallHook(it->finish);
        loader_.Unload(it->handle);
    }
}

void SuiteModuleManager::SetDirectory(const std::wstring& directory) {
    const std::lock_guard guard(lock_);
    directory_ = directory.empty() ? L"." : directory;
}

ResultCode SuiteModuleManager::CreateObject(const InterfaceId& id, void** out) {
    if (!out) return rc::ArgumentMissing;
    const auto registrations = ModuleRegistrations();
    const auto row = std::find_if(registrations.begin(), registrations.end(),
                                  [&id](const ModuleRegistration& r) { return *r.id == id; });
    if (row == registrations.end()) return rc::ArgumentMissing;

    LoadedModule* module = nullptr;
    if (const ResultCode code = Acquire(row->baseName, module); Failed(code)) return code;
    void* object = nullptr;
    const ResultCode code = loader_.CallFactory(module->factory, module->kind, id, &object);
    if (Failed(code)) return code;
    if (!object) return rc::ArgumentMissing;
    *out = object;
    return code;
}

// The cached module of the current directory, loaded on first use.
ResultCode SuiteModuleManager::Acquire(const wchar_t* baseName, LoadedModule*& out) {
    const std::lock_guard guard(lock_);
    for (LoadedModule& module : modules_) {
        if (module.directory == directory_ && module.baseName == baseName) {
            out = &module;
            return rc::Ok;
        }
    }
    LoadedModule loaded;
    if (const ResultCode code = LoadModule(directory_, baseName, loaded); Failed(code))
        return code;
    modules_.push_back(std::move(loaded));
    out = &modules_.back();
    return rc::Ok;
}

ResultCode SuiteModuleManager::LoadModule(const std::wstring& directory, const wchar_t* baseName,
                                          LoadedModule& out) {
    ModuleHandle handle = nullptr;
    const std::wstring path = JoinPath(directory, std::wstring(baseName) + L".dll");
    if (const ResultCode code = loader_.Load(path, handle); Failed(code)) return code;

    ModuleExport factory = loader_.Find(handle, kFactoryExport);
    FactoryKind kind = FactoryKind::IdByPointer;
    if (!factory) {
        factory = loader_.Find(handle, kLegacyFactoryExport);
        kind = FactoryKind::IdByValue;
    }
    if (!factory) {
        loader_.Unload(handle);
        return kNoModuleFactory;
    }
    const ModuleExport init = loader_.Find(handle, kInitExport);
    const ModuleExport finish = loader_.Find(handle, kFinishExport);
    const bool hooks = init && finish;
    if (hooks) loader_.CallHook(init);

    out = LoadedModule{directory, baseName, handle, factory, kind, hooks ? finish : nullptr};
    return rc::Ok;
}

}  // namespace qor
