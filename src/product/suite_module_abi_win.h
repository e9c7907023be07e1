#pragma once
// The binary interface of the suite's own modules, in the calling convention of their
// 32-bit builds: the exports, and the function tables of the objects they create.
#include <cstdint>

namespace qor::moduleabi {

// An interface object: its first member points at its table of operations.
struct Object {
    void* const* operations;
};

template <typename Fn>
Fn Operation(const Object* object, int place) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(object->operations[place]));
}

// Exports of every module.
using GetObject2Fn = std::int32_t(__stdcall*)(const void* id, std::uint32_t idLength, Object** out);
using GetObjectFn = std::int32_t(__stdcall*)(std::uint32_t id0, std::uint32_t id1,
                                             std::uint32_t id2, std::uint32_t id3, Object** out);
using HookFn = std::int32_t(__stdcall*)();

// Every object: place 2 drops the caller's reference.
inline constexpr int kReleasePlace = 2;
using ReleaseFn = std::uint32_t(__stdcall*)(Object* self);

// The configuration object and its nodes.
inline constexpr int kOpenConfigNodePlace = 8;
inline constexpr int kSetBoolPlace = 20;
inline constexpr int kCommitPlace = 28;
inline constexpr int kConfigOperationCount = 29;
using OpenConfigNodeFn = std::int32_t(__stdcall*)(Object* self, std::uint32_t nodeId,
                                                  std::uint32_t flags, Object** node);
using SetBoolFn = std::int32_t(__stdcall*)(Object* self, std::uint32_t valueId,
                                           std::uint32_t value);
using CommitFn = std::int32_t(__stdcall*)(Object* self, std::uint32_t a, std::uint32_t b,
                                          std::uint32_t c);

// The communication object and its value tree. Nodes are handles of the object. An
// operation may answer "reply pending"; WaitReply then delivers the answer of that
// operation (its outputs filled) or answers "reply pending" again when `milliseconds` pass.
inline constexpr int kGetRootPlace = 3;
inline constexpr int kOpenValueNodePlace = 4;
inline constexpr int kReadValuePlace = 5;
inline constexpr int kReleaseNodePlace = 6;
inline constexpr int kWaitReplyPlace = 7;
inline constexpr int kReconnectPlace = 8;
inline constexpr int kCommOperationCount = 9;
using GetRootFn = std::int32_t(__stdcall*)(Object* self, void** root);
using OpenValueNodeFn = std::int32_t(__stdcall*)(Object* self, void* root, const wchar_t* path,
                                                 void** node);
// Fills at most `bufferBytes`; a string need not be terminated.
using ReadValueFn = std::int32_t(__stdcall*)(Object* self, void* node, std::uint32_t type,
                                             void* buffer, std::uint32_t bufferBytes);
using ReleaseNodeFn = std::int32_t(__stdcall*)(Object* self, void* node);
using WaitReplyFn = std::int32_t(__stdcall*)(Object* self, std::uint32_t milliseconds);
using ReconnectFn = std::int32_t(__stdcall*)(Object* self);

}  // namespace qor::moduleabi

namespace qor {

// Owns one reference to a module's object; released through place 2.
class ModuleObjectRef {
public:
    explicit ModuleObjectRef(void* object) noexcept
        : object_(static_cast<moduleabi::Object*>(object)) {}
    ModuleObjectRef(const ModuleObjectRef&) = delete;
    ModuleObjectRef& operator=(const ModuleObjectRef&) = delete;
    ~ModuleObjectRef() {
        if (Usable()) moduleabi::Operation<moduleabi::ReleaseFn>(object_, moduleabi::kReleasePlace)(object_);
    }

    moduleabi::Object* Get() const noexcept { return object_; }
    bool Usable() const noexcept { return object_ && object_->operations; }

private:
    moduleabi::Object* object_;
};

}  // namespace qor
