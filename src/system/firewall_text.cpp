#include "system/firewall_text.h"

#include <algorithm>

namespace ondex::system {

bool RecordCountMatches(size_t itemCount, size_t recordItems) {
    return itemCount >= 1 && (itemCount - 1) % recordItems == 0;
}

std::vector<FirewallAddRecord> AddRecords(const std::vector<std::wstring>& items) {
    std::vector<FirewallAddRecord> records;
    for (size_t i = 1; i + kAddRecordItems <= items.size(); i += kAddRecordItems)
        records.push_back({items[i], items[i + 1], items[i + 2], items[i + 3], items[i + 4]});
    return records;
}

std::vector<FirewallRemoveRecord> RemoveRecords(const std::vector<std::wstring>& items) {
    std::vector<FirewallRemoveRecord> records;
    for (size_t i = 1; i + kRemoveRecordItems <= items.size(); i += kRemoveRecordItems)
        records.push_back({items[i], items[i + 1], items[i + 2]});
    return records;
}

namespace {

std::int32_t PortValue(std::wstring_view part) {
    constexpr std::int64_t kLargest = 2147483647;
    size_t i = 0;
    while (i < part.size() && (part[i] == L' ' || part[i] == L'\t')) ++i;
    std::int64_t value = 0;
    for (; i < part.size() && part[i] >= L'0' && part[i] <= L'9'; ++i)
        value = std::min(kLargest, value * 10 + (part[i] - L'0'));
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::vector<std::int32_t> ParsePorts(std::wstring_view ports) {
    std::vector<std::int32_t> values;
    size_t start = 0;
    while (start <= ports.size()) {
        size_t comma = ports.find(L',', start);
        if (comma == std::wstring_view::npos) comma = ports.size();
        if (comma > start) values.push_back(PortValue(ports.substr(start, comma - start)));
        start = comma + 1;
    }
    return values;
}

}  // namespace ondex::system
