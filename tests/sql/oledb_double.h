#pragma once
// The SQL Server OLE DB provider as the database check calls it: data
// source (IDBInitialize, IDBProperties, IDBCreateSession, and as its own
// session IDBCreateCommand), command (ICommandText, ISupportErrorInfo) and
// rowset (IRowset), over a scripted server. A failing command sets an error object
// with IErrorRecords through SetErrorInfo. The server is plain data, so that
// a registrable in-process build can fill it from a text file.
#include <windows.h>
#include <oledb.h>

#include <string>
#include <utility>
#include <vector>

#include "support/com_counted.h"

namespace ondex::test {

// One error record of a failing command.
struct ProviderError {
    std::wstring description;
    bool readable = true;  // false: IErrorRecords::GetErrorInfo fails for it
};

// What the server answers.
struct ScriptedSqlServer {
    bool reachable = true;
    std::vector<std::wstring> databases = {L"master"};  // the names the existence query finds
    bool lockRow = false;                                // the lock query returns a row
    bool windowsAuthRefusedOnTarget = false;             // SSPI on a catalog other than master fails
    HRESULT existenceQueryResult = S_OK;                 // another value: Execute answers it, raising the errors
    HRESULT lockQueryResult = S_OK;
    std::vector<ProviderError> errors;     // the records; none and no object text: no error object at all
    std::wstring errorObjectDescription;   // the error object's own description
};

// One data source's DBINIT properties, in the order received.
using ReceivedProperties = std::vector<std::pair<DBPROPID, std::wstring>>;

struct SqlServerModel {
    ScriptedSqlServer script;
    std::vector<ReceivedProperties> connections;
    std::vector<std::wstring> queries;  // command texts executed
};

// The provider's class object over `model` (one reference, the caller's).
IClassFactory* NewSqlProviderFactory(SqlServerModel& model);

// Registers the provider's class for the object's life on the test thread.
class OleDbDouble : public SqlServerModel {
public:
    OleDbDouble();
    OleDbDouble(const OleDbDouble&) = delete;
    OleDbDouble& operator=(const OleDbDouble&) = delete;
    // Objects handed out and not yet released, and rows fetched and not released.
    static long Live();
    static long HeldRows();

private:
    RegisteredClass registration_;
};

}  // namespace ondex::test
