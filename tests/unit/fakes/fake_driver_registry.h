#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "maintenance/driver_registry.h"
#include "platform/registry.h"

namespace qor::test {

// Keys and typed values in memory; every successful write is counted.
class FakeDriverRegistry final : public DriverRegistry {
public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        std::wstring text;
    };

    void AddKey(const std::wstring& path) { keys_.insert(path); }
    void SetValue(const std::wstring& path, const std::wstring& name, Value value) {
        AddKey(path);
        values_[{path, name}] = std::move(value);
    }
    const Value* Find(const std::wstring& path, const std::wstring& name) const {
        const auto found = values_.find({path, name});
        return found == values_.end() ? nullptr : &found->second;
    }

    ResultCode OpenKey(const std::wstring& path) override {
        return keys_.count(path) ? openResult : rc::FileNotFound;
    }
    ResultCode ReadString(const std::wstring& path, const std::wstring& name,
                          std::wstring& out) override {
        const Value* value = Lookup(path, name);
        if (value && value->type == reg_type::String) out = value->text;
        return Code(value, reg_type::String);
    }
    ResultCode ReadDword(const std::wstring& path, const std::wstring& name,
                         std::uint32_t& out) override {
        const Value* value = Lookup(path, name);
        const ResultCode code = Code(value, reg_type::Dword);
        return Failed(code) ? code : DecodeRegistryDword(value->type, value->data, out);
    }
    ResultCode ReadBinary(const std::wstring& path, const std::wstring& name,
                          std::vector<std::uint8_t>& out) override {
        const Value* value = Lookup(path, name);
        if (value && value->type == reg_type::Binary) out = value->data;
        return Code(value, reg_type::Binary);
    }
    ResultCode WriteString(const std::wstring& path, const std::wstring& name,
                           const std::wstring& value) override {
        return Write(path, name, Value{reg_type::String, {}, value});
    }
    ResultCode WriteDword(const std::wstring& path, const std::wstring& name,
                          std::uint32_t value) override {
        std::vector<std::uint8_t> bytes(4);
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
        return Write(path, name, Value{reg_type::Dword, bytes, {}});
    }
    ResultCode WriteBinary(const std::wstring& path, const std::wstring& name,
                           const std::vector<std::uint8_t>& value) override {
        return Write(path, name, Value{reg_type::Binary, value, {}});
    }

    ResultCode openResult = rc::Ok, writeResult = rc::Ok;
    int writes = 0;
    std::vector<std::wstring> written;  // key\value of each write, in order

private:
    const Value* Lookup(const std::wstring& path, const std::wstring& name) const {
        return keys_.count(path) ? Find(path, name) : nullptr;
    }
    static ResultCode Code(const Value* value, std::uint32_t type) {
        if (value == nullptr) return rc::FileNotFound;
        return value->type == type ? rc::Ok : rc::RegistryWrongType;
    }
    ResultCode Write(const std::wstring& path, const std::wstring& name, Value value) {
        if (!keys_.count(path)) return rc::FileNotFound;
        if (Failed(writeResult)) return writeResult;
        values_[{path, name}] = std::move(value);
        ++writes;
        written.push_back(path + L"\\" + name);
        return rc::Ok;
    }

    std::set<std::wstring> keys_;
    std::map<std::pair<std::wstring, std::wstring>, Value> values_;
};

}  // namespace qor::test
