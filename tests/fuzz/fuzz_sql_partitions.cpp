// The PARTITIONS property: the batch stays one guarded statement list whose
// literals hold no unpaired apostrophe, and every item with a name is either
// in it whole or reported as left out.
#include <string>

#include "fuzz_support.h"
#include "runtime/deferred_text.h"
#include "sql/sql_setup_text.h"

namespace {

// Every apostrophe of the batch outside the generated quotes comes in pairs.
bool LiteralsClosed(const std::wstring& sql) {
    size_t quotes = 0;
    for (const wchar_t c : sql) quotes += c == L'\'';
    return quotes % 2 == 0;
}

// Names hold no ';', so each statement ends in the only ") END;" it has.
size_t Statements(const std::wstring& sql) {
    size_t count = 0;
    for (size_t at = sql.find(L") END;"); at != std::wstring::npos; at = sql.find(L") END;", at + 1)) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring text(bytes, bytes + size);
    const ondex::sql::PartitionsBatch batch = ondex::sql::BuildPartitionsSql(text);
    Require(LiteralsClosed(batch.sql));
    Require(batch.sql == ondex::sql::kDummyPartitionsSql || batch.sql.rfind(L"IF NOT EXISTS", 0) == 0);
    size_t named = 0;
    for (const std::wstring& piece : ondex::runtime::SplitString(text)) named += ondex::sql::ScanPartitionItem(piece) ? 1 : 0;
    Require(Statements(batch.sql) + batch.rejected.size() == named);
    return 0;
}
