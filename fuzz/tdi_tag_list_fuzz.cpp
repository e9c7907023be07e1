// The "PNP_TDI" value as stored: parsed, then ordered and written back through an in-memory
// registry; whatever is written must be a whole list whose count matches its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "maintenance/tdi_driver_order.h"
#include "maintenance/tdi_tag_list.h"

namespace {

// NetBT and two other drivers with tags from the input's first bytes.
class MemoryRegistry final : public qor::DriverRegistry {
public:
    MemoryRegistry(const std::uint8_t* data, std::size_t size) : list_(data, data + size) {
        tags_[L"Tcpip"] = size > 0 ? data[0] : 3;
        tags_[L"NetBT"] = 87;
    }
    qor::ResultCode OpenKey(const std::wstring& path) override {
        return Service(path).empty() || tags_.count(Service(path)) || Service(path) == L"QorTdiX"
                   ? qor::rc::Ok
                   : qor::rc::FileNotFound;
    }
    qor::ResultCode ReadString(const std::wstring&, const std::wstring&, std::wstring& out) override {
        out = qor::kTdiGroup;
        return qor::rc::Ok;
    }
    qor::ResultCode ReadDword(const std::wstring& path, const std::wstring&,
                              std::uint32_t& out) override {
        const auto found = tags_.find(Service(path));
        if (found == tags_.end()) return qor::rc::FileNotFound;
        out = found->second;
        return qor::rc::Ok;
    }
    qor::ResultCode ReadBinary(const std::wstring&, const std::wstring&,
                               std::vector<std::uint8_t>& out) override {
        out = list_;
        return qor::rc::Ok;
    }
    qor::ResultCode WriteString(const std::wstring&, const std::wstring&,
                                const std::wstring&) override {
        return qor::rc::Ok;
    }
    qor::ResultCode WriteDword(const std::wstring& path, const std::wstring&,
                               std::uint32_t value) override {
        tags_[Service(path)] = value;
        return qor::rc::Ok;
    }
    qor::ResultCode WriteBinary(const std::wstring&, const std::wstring&,
                                const std::vector<std::uint8_t>& value) override {
        qor::TagList parsed;
        if (value.size() < 4 || qor::Failed(qor::ParseTagList(value, parsed)) ||
            value.size() != 4 + 4 * parsed.size() ||
            (value[0] | value[1] << 8 | value[2] << 16 | std::uint32_t{value[3]} << 24) !=
                parsed.size()) {
            std::abort();
        }
        list_ = value;
        return qor::rc::Ok;
    }

private:
    static std::wstring Service(const std::wstring& path) {
        const std::wstring prefix = std::wstring(qor::kServicesKey) + L"\\";
        return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : std::wstring();
    }

    std::vector<std::uint8_t> list_;
    std::map<std::wstring, std::uint32_t> tags_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qor::TagList tags;
    if (qor::Succeeded(qor::ParseTagList({data, size}, tags)) && tags.size() > size / 4) {
        std::abort();  // more tags than the data holds
    }
    MemoryRegistry registry(data, size);
    qor::OsVersionRecord os;
    os.filled = true;
    os.majorVersion = 5;
    os.minorVersion = 1;
    bool changed = false;
    (void)qor::OrderTdiDrivers(registry, os, changed);
    return 0;
}
