#pragma once
#include <array>
#include <optional>
#include <vector>

#include "platform/os_info_source.h"

namespace qor::test {

// Answers set by the test; counts and arguments of the calls are kept.
class FakeOsInfoSource final : public OsInfoSource {
public:
    ResultCode GetVersion(OsVersionData& out) noexcept override {
        ++versionCalls;
        if (Succeeded(versionCode)) out = version;
        return versionCode;
    }
    ResultCode GetNativeArchitecture(std::optional<std::uint16_t>& out) noexcept override {
        if (Succeeded(architectureCode)) out = architecture;
        return architectureCode;
    }
    ProductQuery GetProductType(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor,
                                std::uint32_t spMinor, std::uint32_t& type) noexcept override {
        productQueries.push_back({major, minor, spMajor, spMinor});
        if (productAnswer == ProductQuery::Answered) type = productType;
        return productAnswer;
    }
    ResultCode GetBasicInformation(BasicSystemData& out) noexcept override {
        if (Succeeded(basicCode)) out = basic;
        return basicCode;
    }

    OsVersionData version{6, 1, 7601, L"Service Pack 1", 1, 0, 0x0100, 1};
    ResultCode versionCode = rc::Ok;
    std::optional<std::uint16_t> architecture = 9;  // empty: the query does not exist
    ResultCode architectureCode = rc::Ok;
    ProductQuery productAnswer = ProductQuery::Unavailable;
    std::uint32_t productType = 0;
    BasicSystemData basic{4, 4096, 65536};
    ResultCode basicCode = rc::Ok;

    int versionCalls = 0;
    std::vector<std::array<std::uint32_t, 4>> productQueries;
};

}  // namespace qor::test
