#include "sql/sql_setup_text.h"

#include "runtime/deferred_text.h"

namespace ondex::sql {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }
bool IsAsciiAlnum(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::wstring DoubledApostrophes(std::wstring_view text) {
    std::wstring doubled;
    for (const wchar_t c : text) {
        doubled += c;
        if (c == L'\'') doubled += L'\'';
    }
    return doubled;
}

std::wstring Statement(const PartitionItem& item) {
    const std::wstring& attribute = item.attributeName;
    return L"IF NOT EXISTS (Select * from dbo.[Partition] where DefaultAttributeName = '" + attribute +
           L"')BEGIN insert into dbo.[Partition] (name, DefaultAttributeName) values ('" +
           DoubledApostrophes(item.displayName) + L"', '" + attribute + L"') END;";
}

}  // namespace

std::optional<PartitionItem> ScanPartitionItem(std::wstring_view piece) {
    const size_t first = piece.find_first_not_of(L" \t\n");
    if (first == std::wstring_view::npos) return std::nullopt;
    size_t end = piece.size();
    while (IsBlank(piece[end - 1])) --end;
    PartitionItem item{std::wstring(piece.substr(first, end - first)), L"ONDEX_"};
    const std::wstring& name = item.displayName;
    for (size_t i = 0; i < name.size(); ++i) {
        item.attributeName += IsAsciiAlnum(name[i]) ? name[i] : L'_';
        if (IsHighSurrogate(name[i]) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) ++i;
    }
    return item;
}

PartitionsBatch BuildPartitionsSql(std::wstring_view partitions) {
    PartitionsBatch batch;
    std::wstring statements;
    for (const std::wstring& piece : runtime::SplitString(partitions)) {
        const std::optional<PartitionItem> item = ScanPartitionItem(piece);
        if (!item) continue;
        if (item->displayName.size() > kMaxPartitionDisplayName) {
            batch.rejected.push_back({item->displayName, L"the name is longer than 121 characters"});
            continue;
        }
        const std::wstring statement = Statement(*item);
        if (statement.size() > kMaxPartitionStatement)
            batch.rejected.push_back({item->displayName, L"its statement is longer than 511 characters"});
        else
            statements += statement;
    }
    batch.sql = statements.empty() ? std::wstring(kDummyPartitionsSql)
                                   : L"IF NOT EXISTS (Select * from dbo.[Partition] where name != 'Excluded') BEGIN " +
                                         statements + L"END;";
    return batch;
}

std::optional<std::wstring> ExpressCommandLine(std::wstring_view installerPath, std::wstring_view instanceName) {
    std::wstring line = L"\"" + std::wstring(installerPath) +
                        L"\" -q /norebootchk /qn reboot=ReallySuppress addlocal=all instancename=" +
                        std::wstring(instanceName) + L" SQLAUTOSTART=1";
    if (line.size() >= kExpressCommandLineChars) return std::nullopt;
    return line;
}

bool SelectsSqlServerAuthentication(std::wstring_view winAuth) {
    return winAuth.empty() || winAuth == L"0" || winAuth == L"NO";
}

}  // namespace ondex::sql
