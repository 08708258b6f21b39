#pragma once
// The texts of the SQL setup actions: the partition batch that seeds the
// product database's Partition table, the SQL Server Express command line and
// the authentication switch. Pure logic: no Windows headers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::sql {

// The longest display name whose attribute name ("ONDEX_" + name) fits its
// 127 characters, and the longest statement of the batch.
inline constexpr size_t kMaxPartitionDisplayName = 121;
inline constexpr size_t kMaxPartitionStatement = 511;
inline constexpr wchar_t kDummyPartitionsSql[] = L" -- dummy SQL code";

struct PartitionItem {
    std::wstring displayName, attributeName;
};

// One ';' piece scanned: blanks (space, TAB, line feed) trimmed at both ends,
// every other character kept in the display name and, unless it is an ASCII
// letter or digit, written "_" in the attribute name (a surrogate pair is one
// character). Nothing for a piece of blanks only.
std::optional<PartitionItem> ScanPartitionItem(std::wstring_view piece);

// An item that is left out of the batch, and why.
struct RejectedPartition {
    std::wstring displayName;
    const wchar_t* reason;
};

struct PartitionsBatch {
    std::wstring sql;
    std::vector<RejectedPartition> rejected;
};

// The whole batch for the PARTITIONS value: one guarded insert per kept item
// inside the outer condition, apostrophes in display names doubled; the dummy
// comment when no item is kept. A display name or statement over its limit is
// rejected, never cut.
PartitionsBatch BuildPartitionsSql(std::wstring_view partitions);

// The silent SQL Server Express setup for a named instance; nothing when it
// does not fit the 520-character command-line buffer.
std::optional<std::wstring> ExpressCommandLine(std::wstring_view installerPath, std::wstring_view instanceName);
inline constexpr size_t kExpressCommandLineChars = 520;

// WIN_AUTH selects SQL Server authentication when empty, "0" or "NO"
// (case-sensitive); anything else selects Windows authentication.
bool SelectsSqlServerAuthentication(std::wstring_view winAuth);

}  // namespace ondex::sql
