// The IIS doubles as a registrable in-process server, for installations run
// by msiexec: every custom-action process that loads it sees one metabase,
// kept in a text file (OXIIS_METABASE_FILE, else metabase.txt beside this
// DLL). regsvr32 registers the admin base, WAM and ADSI classes and the
// ProgID "IIS"; /u removes them. A test double: never shipped.
#include <windows.h>

#include <string>

#include "iis/iis_doubles.h"
#include "iis/metabase.h"
#include "support/inproc_server.h"

namespace {

HMODULE g_module = nullptr;

ondex::test::MetabaseModel& Model() {
    static ondex::test::MetabaseModel* model = [] {
        auto* made = new ondex::test::MetabaseModel;  // lives as long as the process
        made->BackWithFile(ondex::test::ScriptFile(g_module, L"OXIIS_METABASE_FILE", L"metabase.txt"));
        return made;
    }();
    return *model;
}

const CLSID* const kServedClasses[] = {&ondex::iis::kClsidAdminBase, &ondex::iis::kClsidWamAdmin,
                                       &ondex::test::kClsidAdsiDouble};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    IUnknown* object = ondex::test::NewIisClassObject(clsid, Model());
    if (!object) return CLASS_E_CLASSNOTAVAILABLE;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    const HRESULT hr = ondex::test::RegisterInprocClasses(g_module, kServedClasses);
    return FAILED(hr) ? hr : ondex::test::SetClassesText(L"IIS\\CLSID", nullptr, ondex::test::kAdsiClsidText);
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    ondex::test::UnregisterInprocClasses(kServedClasses);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"IIS");
    return S_OK;
}
