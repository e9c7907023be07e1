// Adapter rows as the system might give them: any name, texts of any length, addresses of
// any family with any prefix list, through the classification and the dump text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "diag/network/network_areas.h"

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    std::uint32_t Word() { return Byte() | (std::uint32_t{Byte()} << 8); }
    std::wstring Text() {
        std::wstring text(Byte(), L'\0');
        for (wchar_t& c : text) c = static_cast<wchar_t>(Byte());
        return text;
    }
    qor::IpAddress Address() {
        qor::IpAddress address;
        address.family = static_cast<qor::AddressFamily>(Byte() % 8);
        for (std::uint8_t& b : address.bytes) b = Byte();
        return address;
    }
    bool Empty() const { return size_ == 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class FuzzedAdapters final : public qor::AdapterSystem {
public:
    explicit FuzzedAdapters(Reader& reader) : reader_(reader) {}
    bool HasAdapterQuery() noexcept override { return true; }
    std::uint32_t QueryAdapters(std::uint32_t&, std::vector<qor::AdapterRow>& rows) override {
        for (int n = reader_.Byte() % 6; n > 0; --n) {
            qor::AdapterRow row;
            const std::wstring name = reader_.Text();
            row.name.assign(name.begin(), name.end());
            row.description = reader_.Text();
            row.friendlyName = reader_.Text();
            row.ifIndex = reader_.Byte() % 4;
            row.ipv6IfIndex = reader_.Byte() % 4;
            row.ifType = reader_.Byte();
            row.operStatus = reader_.Byte() % 3;
            row.physicalAddress.resize(reader_.Byte() % 10);
            for (std::uint8_t& b : row.physicalAddress) b = reader_.Byte();
            for (int a = reader_.Byte() % 4; a > 0; --a) row.unicast.push_back(reader_.Address());
            for (int p = reader_.Byte() % 4; p > 0; --p) {
                row.prefixes.push_back({reader_.Address(), reader_.Byte()});
            }
            rows.push_back(std::move(row));
        }
        return 0;
    }
    qor::ResultCode BestInterface(qor::AddressFamily, bool, std::uint32_t& index) noexcept override {
        index = reader_.Byte() % 4;
        return qor::rc::Ok;
    }
    std::uint32_t EnumRasConnections(std::uint32_t&, std::vector<qor::RasConnectionRow>& rows) override {
        for (int n = reader_.Byte() % 3; n > 0; --n) rows.push_back({reader_.Text(), reader_.Text()});
        return 0;
    }
    std::uint32_t EnumPhoneBookEntries(std::uint32_t&, std::vector<std::wstring>& names) override {
        for (int n = reader_.Byte() % 3; n > 0; --n) names.push_back(reader_.Text());
        return 0;
    }
    qor::ResultCode QuerySharing(std::vector<qor::SharedConnectionRow>& rows) override {
        for (int n = reader_.Byte() % 3; n > 0; --n) {
            rows.push_back({qor::ParseGuid(reader_.Text()), reader_.Word() << 2});
        }
        return qor::rc::Ok;
    }
    bool OpenDevice(const std::wstring&) noexcept override { return reader_.Byte() & 1; }

private:
    Reader& reader_;
};

class NoNetworks final : public qor::NetworkListSource {
public:
    qor::ResultCode InitializeCom() noexcept override { return qor::rc::Ok; }
    void UninitializeCom() noexcept override {}
    qor::ResultCode ReadNetworks(std::vector<qor::NetworkEntry>&) override { return qor::rc::Ok; }
};

class NoLog final : public qor::LogSink {
public:
    void Write(qor::LogSeverity, const wchar_t*, const wchar_t*, const std::wstring&) noexcept override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader reader(data, size);
    qor::OsVersionRecord os;
    os.filled = reader.Byte() & 1;
    os.majorVersion = 5 + reader.Byte() % 2;
    os.minorVersion = reader.Byte() % 3;
    os.servicePackMajor = reader.Byte() % 4;
    os.processorClass = static_cast<qor::ProcessorClass>(1 + reader.Byte() % 3);
    FuzzedAdapters adapters(reader);
    NoNetworks networks;
    NoLog log;
    std::wstring text;
    (void)qor::DumpNetworkAreas(os, networks, adapters, log, text);
    return 0;
}
