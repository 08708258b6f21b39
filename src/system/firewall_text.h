#pragma once
// The firewall actions' work lists: "|"-separated items, the first the
// caption of the warning boxes, then records of a fixed size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "system/item_list.h"

namespace ondex::system {


inline constexpr size_t kAddRecordItems = 5;
inline constexpr size_t kRemoveRecordItems = 3;

// True when the items after the caption form whole records.
bool RecordCountMatches(size_t itemCount, size_t recordItems);

struct FirewallAddRecord {
    std::wstring path, name, description, ports, group;
};
struct FirewallRemoveRecord {
    std::wstring path, name, ports;
};

// The records after the caption; a partial last record is left out.
std::vector<FirewallAddRecord> AddRecords(const std::vector<std::wstring>& items);
std::vector<FirewallRemoveRecord> RemoveRecords(const std::vector<std::wstring>& items);

// The port numbers of a comma-separated list. Empty parts are skipped; each
// other part counts by its leading decimal digits after blanks (no digits:
// 0, too large: 2147483647), so the firewall itself judges bad numbers.
std::vector<std::int32_t> ParsePorts(std::wstring_view ports);

}  // namespace ondex::system
