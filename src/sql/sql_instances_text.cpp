#include "sql/sql_instances_text.h"

#include <algorithm>

#include "runtime/ascii_text.h"

namespace ondex::sql {

namespace {

constexpr std::wstring_view kLocalhost = L"localhost";
constexpr size_t kInstanceBufferChars = 64;

using runtime::EqualsAsciiNoCase;

void ReplaceFirst(std::wstring& text, std::wstring_view what, std::wstring_view with) {
    const size_t at = text.find(what);
    if (at != std::wstring::npos) text.replace(at, what.size(), with);
}

// The preferred names, by the level they reach.
constexpr std::wstring_view kPreferred[] = {
    L"localhost",                  // 2
    L"localhost\\SQLEXPRESS",      // 3
    L"localhost\\ONDEXSQLSERVER",  // 4
    L"localhost\\ONDEX",           // 5
    L"localhost\\ONDEXSQL2008",    // 6
    L"localhost\\ONDEXSQL2008R2",  // 7
};

}  // namespace

std::wstring DmoEntry(std::wstring_view item, std::wstring_view computerName) {
    const size_t slash = item.find(L'\\');
    if (slash != std::wstring_view::npos && EqualsAsciiNoCase(item.substr(0, slash), computerName))
        return std::wstring(kLocalhost) + std::wstring(item.substr(slash));
    return std::wstring(item);
}

std::wstring RegistryEntry(std::wstring_view instanceName) {
    if (instanceName == L"MSSQLSERVER") return kDefaultInstanceEntry;
    return std::wstring(kLocalhost) + L"\\" + std::wstring(instanceName);
}

std::wstring ComparisonKey(std::wstring_view entry) {
    return EqualsAsciiNoCase(entry, kDefaultInstanceEntry) ? std::wstring(kLocalhost) : std::wstring(entry);
}

std::wstring DisplayName(std::wstring entry, std::wstring_view computerName) {
    ReplaceFirst(entry, kLocalhost, computerName);
    ReplaceFirst(entry, kDefaultInstanceEntry, computerName);
    return entry;
}

int PreferenceLevel(std::wstring_view key) {
    int reached = 1;
    for (int i = 0; i < static_cast<int>(std::size(kPreferred)); ++i)
        if (EqualsAsciiNoCase(key, kPreferred[i])) reached = i + 2;
    return reached;
}

void SortUnique(std::vector<std::wstring>& entries) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

InstanceParts SplitInstanceName(std::wstring_view value) {
    value = value.substr(0, kInstanceBufferChars - 1);
    const size_t slash = value.rfind(L'\\');
    if (slash == std::wstring_view::npos) return {kDefaultInstanceEntry, std::wstring(value)};
    const std::wstring_view server = value.substr(0, slash);
    return {server == kLocalhost ? std::wstring(kDefaultInstanceEntry) : std::wstring(server),
            std::wstring(value.substr(slash + 1))};
}

}  // namespace ondex::sql
