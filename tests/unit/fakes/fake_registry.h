#pragma once
#include <map>
#include <optional>
#include <span>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace qor::test {

// String values by (root, key, value, view); a read in another view finds nothing.
class FakeRegistry final : public RegistryReader {
public:
    void Set(RegistryRoot root, const std::wstring& key, const std::wstring& value,
             std::wstring data, RegistryView view = RegistryView::Default) {
        strings_[{root, key, value, view}] = std::move(data);
    }

    ResultCode ReadString(RegistryRoot root, const std::wstring& path,
                          const std::wstring& valueName, RegistryView view,
                          std::wstring& out) override {
        if (const auto failing = failingKeys_.find({root, path}); failing != failingKeys_.end()) {
            return failing->second;
        }
        if (const auto failing = failingValues_.find({root, path, valueName, view});
            failing != failingValues_.end()) {
            return failing->second;
        }
        const auto found = strings_.find({root, path, valueName, view});
        if (found == strings_.end()) {
            // A missing value of a key that exists, else a missing key.
            return keys_.count({root, path}) ? static_cast<ResultCode>(0xE001003D)
                                             : static_cast<ResultCode>(0xE0010013);
        }
        out = found->second;
        return 0;
    }
    ResultCode ReadFirstString(RegistryRoot root, const std::wstring& path,
                               std::span<const wchar_t* const> valueNames, RegistryView view,
                               std::optional<std::wstring>& out) override {
        if (const auto failing = failingKeys_.find({root, path}); failing != failingKeys_.end()) {
            return failing->second;
        }
        bool keyFound = keys_.count({root, path}) != 0;
        for (const wchar_t* name : valueNames) {
            std::wstring value;
            const ResultCode read = ReadString(root, path, name, view, value);
            if (read == 0) {
                out = std::move(value);
                return 0;
            }
            keyFound = keyFound || read != static_cast<ResultCode>(0xE0010013);
        }
        if (!keyFound) return static_cast<ResultCode>(0xE0010013);
        out.reset();
        return 0;
    }
    // A value whose every read fails with `code`, in a key that exists.
    void FailValue(RegistryRoot root, const std::wstring& key, const std::wstring& value,
                   ResultCode code, RegistryView view = RegistryView::Default) {
        failingValues_[{root, key, value, view}] = code;
        AddKey(root, key);
    }
    ResultCode ReadDword(RegistryRoot, const std::wstring&, const std::wstring&, RegistryView,
                         std::uint32_t&) override {
        return static_cast<ResultCode>(0xE0010013);
    }

    // A key whose every open fails with `code`.
    void FailKey(RegistryRoot root, const std::wstring& key, ResultCode code) {
        failingKeys_[{root, key}] = code;
    }

    // A key that exists even without the values asked for.
    void AddKey(RegistryRoot root, const std::wstring& key) { keys_.insert({root, key}); }

    // Sub-keys listed in the order added.
    void AddSubKey(RegistryRoot root, const std::wstring& key, std::wstring name) {
        subKeys_[{root, key}].push_back(std::move(name));
    }
    ResultCode ListSubKeys(RegistryRoot root, const std::wstring& path, RegistryView,
                           std::vector<std::wstring>& out) override {
        const auto found = subKeys_.find({root, path});
        if (found == subKeys_.end()) return static_cast<ResultCode>(0xE0010013);
        out = found->second;
        return 0;
    }

private:
    std::map<std::tuple<RegistryRoot, std::wstring, std::wstring, RegistryView>, std::wstring>
        strings_;
    std::map<std::pair<RegistryRoot, std::wstring>, std::vector<std::wstring>> subKeys_;
    std::set<std::pair<RegistryRoot, std::wstring>> keys_;
    std::map<std::pair<RegistryRoot, std::wstring>, ResultCode> failingKeys_;
    std::map<std::tuple<RegistryRoot, std::wstring, std::wstring, RegistryView>, ResultCode>
        failingValues_;
};

}  // namespace qor::test
