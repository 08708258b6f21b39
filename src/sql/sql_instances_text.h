#pragma once
// The rules of the SQL instance choice: how discovered names are written,
// compared, shown and ranked, and how a chosen name splits into server and
// instance. Pure logic: no Windows headers.
#include <string>
#include <string_view>
#include <vector>

namespace ondex::sql {

inline constexpr wchar_t kDefaultInstanceEntry[] = L"(local)";
inline constexpr wchar_t kWindowsInternalDatabase[] = L"localhost\\MICROSOFT##SSEE";
inline constexpr wchar_t kUddiDatabase[] = L"localhost\\UDDI";
// The level at which an ONDEXSQL2008R2 instance exists and no new one is offered.
inline constexpr int kNewestOndexLevel = 7;

// A name SQL-DMO reports: "<computer>\<instance>" (the computer name in any
// ASCII case) becomes "localhost\<instance>"; anything else stays.
std::wstring DmoEntry(std::wstring_view item, std::wstring_view computerName);

// A registry instance name: "(local)" for exactly "MSSQLSERVER", else
// "localhost\" + name.
std::wstring RegistryEntry(std::wstring_view instanceName);

// The entry compared with the preferred names: a whole "(local)" (ASCII case
// ignored) counts as "localhost".
std::wstring ComparisonKey(std::wstring_view entry);

// The entry as the user sees it: the first "localhost", then the first
// "(local)" replaced by the computer name.
std::wstring DisplayName(std::wstring entry, std::wstring_view computerName);

// The preference level a key reaches (2 default instance … 7 ONDEXSQL2008R2),
// or 1 when it matches none of the preferred names.
int PreferenceLevel(std::wstring_view key);

// Ascending order of UTF-16 units, duplicates removed.
void SortUnique(std::vector<std::wstring>& entries);

// ParseSQLInstanceName's split at the last backslash (the value cut to 63
// characters first): the server is "(local)" for "localhost" or no backslash.
struct InstanceParts {
    std::wstring server, instance;
};
InstanceParts SplitInstanceName(std::wstring_view value);

}  // namespace ondex::sql
