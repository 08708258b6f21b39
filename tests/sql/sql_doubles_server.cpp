// The SQL doubles as a registrable in-process server, for installations run
// by msiexec. Each process that loads it reads its script once, from the
// file named by OXSQL_DOUBLES_FILE (else sql_doubles.txt beside this DLL),
// one setting per line:
//   dmo-instance NAME      an instance ListInstalledInstances reports
//   dmo-list-fails         ListInstalledInstances raises an exception
// regsvr32 registers the SQL-DMO server class; /u removes it. A test double:
// never shipped.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sql/dmo_double.h"
#include "sql/sql_instances.h"
#include "support/inproc_server.h"

namespace {

HMODULE g_module = nullptr;

const CLSID* const kServedClasses[] = {&ondex::sql::kClsidDmoServer};

// The script's lines are ASCII or UTF-8 text; a name keeps what follows "NAME ".
ondex::test::DmoScript& Script() {
    static ondex::test::DmoScript* script = [] {
        auto* read = new ondex::test::DmoScript;  // lives as long as the process
        std::ifstream file(std::filesystem::path(ondex::test::ScriptFile(g_module, L"OXSQL_DOUBLES_FILE", L"sql_doubles.txt")));
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string setting = line.substr(0, line.find(' '));
            const std::string value = line.size() > setting.size() ? line.substr(setting.size() + 1) : "";
            if (setting == "dmo-instance") read->names.emplace_back(value.begin(), value.end());
            if (setting == "dmo-list-fails") read->listFails = true;
        }
        return read;
    }();
    return *script;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualCLSID(clsid, ondex::sql::kClsidDmoServer)) return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* object = ondex::test::NewDmoClassObject(Script());
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() { return ondex::test::RegisterInprocClasses(g_module, kServedClasses); }

extern "C" HRESULT WINAPI DllUnregisterServer() {
    ondex::test::UnregisterInprocClasses(kServedClasses);
    return S_OK;
}
