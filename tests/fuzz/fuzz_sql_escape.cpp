// Lock records escaped for an SQL string literal: outside a doubled
// apostrophe or a CHAR() concatenation no apostrophe, TAB, CR or LF is left,
// and reading the escapes back gives the text without its carriage returns.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sql/sql_lock_text.h"

namespace {

constexpr std::wstring_view kTab = L"' + CHAR(9) + '";
constexpr std::wstring_view kLineFeed = L"' + CHAR(13) +  CHAR(10) + '";

// The text an SQL parser reads from the literal; aborts on a character that
// would end the literal or break its line.
std::wstring Unescape(std::wstring_view escaped) {
    std::wstring text;
    for (size_t at = 0; at < escaped.size();) {
        const std::wstring_view rest = escaped.substr(at);
        if (rest.starts_with(L"''")) text += L'\'', at += 2;
        else if (rest.starts_with(kTab)) text += L'\t', at += kTab.size();
        else if (rest.starts_with(kLineFeed)) text += L'\n', at += kLineFeed.size();
        else {
            Require(rest[0] != L'\'' && rest[0] != L'\t' && rest[0] != L'\r' && rest[0] != L'\n');
            text += rest[0], ++at;
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    std::wstring text(bytes, bytes + size);
    const std::wstring escaped = ondex::sql::escapeSqlString(text);
    std::erase(text, L'\r');
    Require(Unescape(escaped) == text);
    return 0;
}
