// Stands in for the SQL Server Express installer: writes its command line to
// commandline.txt beside itself and exits with the code in OXSQL_EXPRESS_EXIT
// (0 when unset).
#include <cstdlib>

#include "support/standin_record.h"

int main() {
    ondex::test::RecordCommandLine();
    return std::wcstol(ondex::test::Environment(L"OXSQL_EXPRESS_EXIT").c_str(), nullptr, 10);
}
