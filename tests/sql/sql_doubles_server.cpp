// The SQL doubles as a registrable in-process server, for installations run
// by msiexec. The script is read afresh whenever a class object is handed
// out, from the file named by OXSQL_DOUBLES_FILE (else sql_doubles.txt beside
// this DLL), one setting per line:
//   dmo-instance NAME          an instance ListInstalledInstances reports
//   dmo-list-fails             ListInstalledInstances raises an exception
//   oledb-unreachable          no connection succeeds
//   oledb-database NAME        a database the existence query finds
//   oledb-lock-row             the lock query returns a row
//   oledb-refuse-windows-auth  Windows authentication on a database other than master fails
//   oledb-existence-fails      the existence query fails, with the error records below
//   oledb-error TEXT           an error record of a failing command
// regsvr32 registers the SQL-DMO server and the SQL Server OLE DB provider
// classes; /u removes them. A test double: never shipped.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sql/dmo_double.h"
#include "sql/oledb_double.h"
#include "sql/sql_instances.h"
#include "sql/sql_session.h"
#include "support/inproc_server.h"

namespace {

const CLSID* const kServedClasses[] = {&ondex::sql::kClsidDmoServer, &ondex::sql::kClsidSqlOleDb};

struct Doubles {
    ondex::test::DmoScript dmo;
    ondex::test::SqlServerModel oledb;
};

void Apply(Doubles& doubles, const std::string& setting, const std::wstring& value) {
    ondex::test::ScriptedSqlServer& server = doubles.oledb.script;
    if (setting == "dmo-instance") doubles.dmo.names.push_back(value);
    if (setting == "dmo-list-fails") doubles.dmo.listFails = true;
    if (setting == "oledb-unreachable") server.reachable = false;
    if (setting == "oledb-database") server.databases.push_back(value);
    if (setting == "oledb-lock-row") server.lockRow = true;
    if (setting == "oledb-refuse-windows-auth") server.windowsAuthRefusedOnTarget = true;
    if (setting == "oledb-existence-fails") server.existenceQueryResult = E_FAIL;
    if (setting == "oledb-error") server.errors.push_back({value});
}

// Lives as long as the process; objects handed out keep referring to it. The
// script's lines are ASCII text; a value is what follows "SETTING ".
Doubles& ReadScript() {
    static Doubles* doubles = new Doubles;
    *doubles = Doubles{};
    const std::wstring script =
        ondex::test::ScriptFile(ondex::test::g_serverModule, L"OXSQL_DOUBLES_FILE", L"sql_doubles.txt");
    std::ifstream file{std::filesystem::path(script)};
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string setting = line.substr(0, line.find(' '));
        const std::string value = line.size() > setting.size() ? line.substr(setting.size() + 1) : "";
        Apply(*doubles, setting, std::wstring(value.begin(), value.end()));
    }
    return *doubles;
}

}  // namespace

ONDEX_INPROC_SERVER_EXPORTS(kServedClasses)

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    IClassFactory* object = nullptr;
    if (IsEqualCLSID(clsid, ondex::sql::kClsidDmoServer)) object = ondex::test::NewDmoClassObject(ReadScript().dmo);
    if (IsEqualCLSID(clsid, ondex::sql::kClsidSqlOleDb)) object = ondex::test::NewSqlProviderFactory(ReadScript().oledb);
    if (!object) return CLASS_E_CLASSNOTAVAILABLE;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}
