#include "maintenance/tdi_driver_order.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/tdi_tag_list.h"

namespace qor {
namespace {

constexpr DriverOrderRow kTcpip{L"Tcpip", true, 3, false};
constexpr DriverOrderRow kTcpip6{L"Tcpip6", true, 8, false};
constexpr DriverOrderRow kFwFd{L"QorFwFd", true, 88, false};
constexpr DriverOrderRow kTdiX{L"QorTdiX", true, 86, false};
constexpr DriverOrderRow kTdiA{L"QorTdiA", true, 86, false};
constexpr DriverOrderRow kWfpX{L"QorWfpX", true, 85, false};
constexpr DriverOrderRow kWfpA{L"QorWfpA", true, 85, false};
constexpr DriverOrderRow kTdx{L"tdx", true, 4, false};
constexpr DriverOrderRow kNmUtil{L"NMutilnt", false, 0, false};
constexpr DriverOrderRow kNmRoam{L"NMRoam", false, 0, false};
constexpr DriverOrderRow kFsclm{L"fsclm", false, 0, false};
constexpr DriverOrderRow kNmDrv{L"NMDRV", false, 0, false};
constexpr DriverOrderRow kNetBt{L"NetBT", true, 87, true};

constexpr std::array<DriverOrderRow, 9> kAmd64BeforeVista{
    kTcpip, kTcpip6, kFwFd, kTdiA, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};
constexpr std::array<DriverOrderRow, 9> kX86BeforeVista{
    kTcpip, kTcpip6, kFwFd, kTdiX, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};
constexpr std::array<DriverOrderRow, 10> kX86Vista{
    kTcpip, kTcpip6, kFwFd, kTdx, kTdiX, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};
constexpr std::array<DriverOrderRow, 10> kAmd64Vista{
    kTcpip, kTcpip6, kFwFd, kTdx, kTdiA, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};
constexpr std::array<DriverOrderRow, 10> kX86Windows8{
    kTcpip, kTcpip6, kWfpX, kFwFd, kTdx, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};
constexpr std::array<DriverOrderRow, 10> kAmd64Windows8{
    kTcpip, kTcpip6, kWfpA, kFwFd, kTdx, kNmUtil, kNmRoam, kFsclm, kNmDrv, kNetBt};

constexpr const wchar_t* kTagValue = L"Tag";
constexpr const wchar_t* kGroupValue = L"Group";

bool IsMissing(ResultCode code) noexcept {
    return code == rc::FileNotFound || code == rc::PathNotFound;
}

std::wstring ServiceKey(const wchar_t* service) {
    return std::wstring(kServicesKey) + L"\\" + service;
}

bool IsTdiGroup(const std::wstring& group) noexcept {
    const std::wstring_view wanted = kTdiGroup;
    return std::equal(group.begin(), group.end(), wanted.begin(), wanted.end(),
                      [](wchar_t a, wchar_t b) {
                          const auto upper = [](wchar_t c) {
                              return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
                          };
                          return upper(a) == upper(b);
                      });
}

// The group's tag list as read, and the writes that keep the registry in step with it.
class TdiOrdering {
public:
    TdiOrdering(DriverRegistry& registry, bool& changed) : registry_(registry), changed_(changed) {}

    [[nodiscard]] ResultCode KeepInstalled(std::span<const DriverOrderRow> table) {
        for (const DriverOrderRow& row : table) {
            const ResultCode opened = registry_.OpenKey(ServiceKey(row.service));
            if (IsMissing(opened)) continue;
            if (Failed(opened)) return opened;
            rows_.push_back(row);
        }
        return rows_.empty() ? rc::FileNotFound : rc::Ok;
    }

    [[nodiscard]] ResultCode LoadList() {
        std::vector<std::uint8_t> data;
        const ResultCode read = registry_.ReadBinary(kGroupOrderListKey, kTdiGroup, data);
        if (Failed(read)) return read;
        return ParseTagList(data, tags_);
    }

    [[nodiscard]] ResultCode TagEveryRow() {
        for (DriverOrderRow& row : rows_) {
            if (const ResultCode code = TagRow(row); Failed(code)) return code;
        }
        return rc::Ok;
    }

    [[nodiscard]] ResultCode OrderAroundAnchor() {
        const auto anchor = std::find_if(rows_.begin(), rows_.end(),
                                         [](const DriverOrderRow& row) { return row.anchor; });
        if (anchor == rows_.end()) return OrderAsChain();
        const auto a = static_cast<std::size_t>(anchor - rows_.begin());
        for (std::size_t k = a; k >= 1; --k) {
            if (const ResultCode code = PlaceBefore(rows_[k - 1].tag, rows_[k].tag); Failed(code)) {
                return code;
            }
        }
        for (std::size_t k = a; k + 1 < rows_.size(); ++k) {
            if (const ResultCode code = PlaceAfter(rows_[k + 1].tag, rows_[k].tag); Failed(code)) {
                return code;
            }
        }
        return rc::Ok;
    }

private:
    [[nodiscard]] ResultCode TagRow(DriverOrderRow& row) {
        const std::wstring key = ServiceKey(row.service);
        if (const ResultCode opened = registry_.OpenKey(key); Failed(opened)) return opened;
        std::uint32_t tag = 0;
        const ResultCode read = registry_.ReadDword(key, kTagValue, tag);
        if (Succeeded(read)) {
            if (tag != row.tag) row.fixedTag = false;
            row.tag = tag;
            return AppendIfMissing(tag);
        }
        if (!IsMissing(read)) return read;
        if (row.fixedTag && !FindTag(tags_, row.tag)) {
            if (const ResultCode code = WriteTag(key, row.tag); Failed(code)) return code;
            return AppendIfMissing(row.tag);
        }
        std::uint32_t fresh = 0;
        if (const ResultCode code = NewTag(fresh); Failed(code)) return code;
        if (const ResultCode code = AppendIfMissing(fresh); Failed(code)) return code;
        if (const ResultCode code = WriteTag(key, fresh); Failed(code)) return code;
        row.tag = fresh;
        row.fixedTag = false;
        return rc::Ok;
    }

    // One more than the largest tag in the list (2 for an empty one), at least 90.
    [[nodiscard]] ResultCode NewTag(std::uint32_t& out) const {
        const std::uint32_t largest = tags_.empty() ? 1 : *std::max_element(tags_.begin(), tags_.end());
        if (largest == UINT32_MAX) return kDriverOrderInvalidData;
        out = std::max(largest + 1, kFirstNewTag);
        return rc::Ok;
    }

    // Without an anchor, each driver of the group follows the one before it in the table.
    [[nodiscard]] ResultCode OrderAsChain() {
        std::uint32_t previousTag = 0;
        std::wstring previousKey;
        for (const DriverOrderRow& row : rows_) {
            const std::wstring key = ServiceKey(row.service);
            std::uint32_t tag = 0;
            if (const ResultCode code = ReadTag(key, tag); Failed(code)) return code;
            if (const ResultCode code = AppendIfMissing(tag); Failed(code)) return code;
            if (!previousKey.empty()) {
                if (const ResultCode code = ChainAfter(previousKey, previousTag, key, tag);
                    Failed(code)) {
                    return code;
                }
            }
            previousKey = key;
            previousTag = tag;
        }
        return rc::Ok;
    }

    [[nodiscard]] ResultCode ChainAfter(const std::wstring& previousKey, std::uint32_t previousTag,
                                        const std::wstring& key, std::uint32_t tag) {
        std::wstring group;
        ResultCode code = ReadGroup(previousKey, group);
        if (Failed(code) || !IsTdiGroup(group)) return code;
        code = ReadGroup(key, group);
        if (Failed(code)) return code;
        if (group.empty()) {
            code = registry_.WriteString(key, kGroupValue, kTdiGroup);
            if (Failed(code)) return code;
            changed_ = true;
            group = kTdiGroup;
        }
        return IsTdiGroup(group) ? PlaceAfter(tag, previousTag) : rc::Ok;
    }

    // A service without "Tag" cannot be ordered.
    [[nodiscard]] ResultCode ReadTag(const std::wstring& key, std::uint32_t& tag) {
        const ResultCode read = registry_.ReadDword(key, kTagValue, tag);
        return IsMissing(read) ? rc::FileNotFound : read;
    }

    // A missing "Group" reads as an empty one.
    [[nodiscard]] ResultCode ReadGroup(const std::wstring& key, std::wstring& group) {
        group.clear();
        const ResultCode read = registry_.ReadString(key, kGroupValue, group);
        return IsMissing(read) ? rc::Ok : read;
    }

    [[nodiscard]] ResultCode WriteTag(const std::wstring& key, std::uint32_t tag) {
        const ResultCode code = registry_.WriteDword(key, kTagValue, tag);
        if (Succeeded(code)) changed_ = true;
        return code;
    }

    [[nodiscard]] ResultCode AppendIfMissing(std::uint32_t tag) {
        if (FindTag(tags_, tag)) return rc::Ok;
        tags_.push_back(tag);
        return WriteList();
    }

    // `moving` must stand before `target`; nothing is done while `target` is not listed.
    [[nodiscard]] ResultCode PlaceBefore(std::uint32_t moving, std::uint32_t target) {
        const auto at = FindTag(tags_, target);
        if (!at || moving == target) return rc::Ok;
        const auto from = FindTag(tags_, moving);
        if (from && *from < *at) return rc::Ok;
        return Move(from, moving, target, 0);
    }

    // `moving` must stand after `target`.
    [[nodiscard]] ResultCode PlaceAfter(std::uint32_t moving, std::uint32_t target) {
        const auto at = FindTag(tags_, target);
        if (!at || moving == target) return rc::Ok;
        const auto from = FindTag(tags_, moving);
        if (from && *from > *at) return rc::Ok;
        return Move(from, moving, target, 1);
    }

    // Takes `moving` out (when listed) and puts it at `offset` from `target`.
    [[nodiscard]] ResultCode Move(std::optional<std::size_t> from, std::uint32_t moving,
                                  std::uint32_t target, std::size_t offset) {
        if (from) tags_.erase(tags_.begin() + static_cast<std::ptrdiff_t>(*from));
        const std::size_t at = *FindTag(tags_, target) + offset;
        tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(at), moving);
        return WriteList();
    }

    [[nodiscard]] ResultCode WriteList() {
        std::vector<std::uint8_t> data;
        if (const ResultCode code = SerializeTagList(tags_, data); Failed(code)) return code;
        const ResultCode code = registry_.WriteBinary(kGroupOrderListKey, kTdiGroup, data);
        if (Succeeded(code)) changed_ = true;
        return code;
    }

    DriverRegistry& registry_;
    bool& changed_;
    std::vector<DriverOrderRow> rows_;
    TagList tags_;
};

}  // namespace

ResultCode SelectDriverOrderTable(const OsVersionRecord& os,
                                  std::span<const DriverOrderRow>& out) noexcept {
    const bool x86 = os.processorClass == ProcessorClass::X86;
    if (!x86 && os.processorClass != ProcessorClass::Amd64) return kDriverOrderInvalidData;
    const std::uint32_t major = os.filled ? os.majorVersion : 0;
    const std::uint32_t minor = os.filled ? os.minorVersion : 0;
    if (major > 6 || (major == 6 && minor >= 2)) {
        out = x86 ? std::span<const DriverOrderRow>(kX86Windows8) : kAmd64Windows8;
    } else if (major == 6) {
        out = x86 ? std::span<const DriverOrderRow>(kX86Vista) : kAmd64Vista;
    } else {
        out = x86 ? std::span<const DriverOrderRow>(kX86BeforeVista) : kAmd64BeforeVista;
    }
    return rc::Ok;
}

ResultCode OrderTdiDrivers(DriverRegistry& registry, const OsVersionRecord& os,
                           bool& changed) noexcept {
    changed = false;
    std::span<const DriverOrderRow> table;
    if (const ResultCode code = SelectDriverOrderTable(os, table); Failed(code)) return code;
    try {
        TdiOrdering ordering(registry, changed);
        ResultCode code = ordering.KeepInstalled(table);
        if (Succeeded(code)) code = ordering.LoadList();
        if (Succeeded(code)) code = ordering.TagEveryRow();
        if (Succeeded(code)) code = ordering.OrderAroundAnchor();
        return code;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

}  // namespace qor
