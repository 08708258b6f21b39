// Instance names from the SQL-DMO server and the SQLINSTANCE property: the
// rewritten and split forms stay bounded and keep what they were made from.
#include <string>

#include "fuzz_support.h"
#include "sql/sql_instances_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring text(bytes, bytes + size);
    const size_t half = text.size() / 2;
    const std::wstring item = text.substr(0, half), computer = text.substr(half);
    const std::wstring entry = ondex::sql::DmoEntry(item, computer);
    Require(entry == item || entry.rfind(L"localhost\\", 0) == 0);
    const int level = ondex::sql::PreferenceLevel(ondex::sql::ComparisonKey(entry));
    Require(level >= 1 && level <= ondex::sql::kNewestOndexLevel);
    const auto parts = ondex::sql::SplitInstanceName(text);
    Require(parts.instance.size() <= 63 && parts.instance.find(L'\\') == std::wstring::npos);
    Require(parts.server.size() + parts.instance.size() <= 63 || parts.server == L"(local)");
    return 0;
}
