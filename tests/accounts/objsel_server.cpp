// The object picker double as a registrable in-process server, for
// installations run by msiexec. The script is read afresh whenever a class
// object is handed out, from the file named by OXOBJSEL_SCRIPT (else
// objsel_double.txt beside this DLL), one setting per line:
//   cancel                    InvokeDialog answers S_FALSE
//   init-fails                Initialize answers E_FAIL
//   user NAME UPN ADSPATH     a selected user ("-" for an empty text)
// regsvr32 registers the picker's class; /u removes it. A test double: never shipped.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "accounts/objsel_double.h"
#include "support/inproc_server.h"

namespace {

const CLSID* const kServedClasses[] = {&CLSID_DsObjectPicker};

struct Served {
    ondex::test::ObjSelScript script;
    ondex::test::ObjSelRecord record;  // nobody reads it here
};

std::wstring Text(const std::string& word) { return word == "-" ? L"" : std::wstring(word.begin(), word.end()); }

// Lives as long as the process; objects handed out keep referring to it. The
// script's lines are ASCII text.
Served& ReadScript() {
    static Served* served = new Served;
    *served = Served{};
    const std::wstring script =
        ondex::test::ScriptFile(ondex::test::g_serverModule, L"OXOBJSEL_SCRIPT", L"objsel_double.txt");
    std::ifstream file{std::filesystem::path(script)};
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string setting, name, upn, adsPath;
        words >> setting >> name >> upn >> adsPath;
        if (setting == "cancel") served->script.invokeResult = S_FALSE;
        if (setting == "init-fails") served->script.initializeResult = E_FAIL;
        if (setting == "user") served->script.selection.push_back({L"user", Text(name), Text(upn), Text(adsPath)});
    }
    return *served;
}

}  // namespace

ONDEX_INPROC_SERVER_EXPORTS(kServedClasses)

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_DsObjectPicker)) return CLASS_E_CLASSNOTAVAILABLE;
    Served& served = ReadScript();
    IClassFactory* object = ondex::test::NewObjSelClassObject(served.script, served.record);
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}
