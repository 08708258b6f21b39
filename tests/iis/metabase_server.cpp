// The IIS doubles as a registrable in-process server, for installations run
// by msiexec: every custom-action process that loads it sees one metabase,
// kept in a text file (OXIIS_METABASE_FILE, else metabase.txt beside this
// DLL). regsvr32 registers the admin base, WAM and ADSI classes and the
// ProgID "IIS"; /u removes them. A test double: never shipped.
#include <windows.h>

#include <string>

#include "iis/iis_doubles.h"
#include "iis/metabase.h"

namespace {

HMODULE g_module = nullptr;

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    return path;
}

std::wstring MetabaseFile() {
    wchar_t named[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"OXIIS_METABASE_FILE", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return named;
    const std::wstring module = ModulePath();
    return module.substr(0, module.rfind(L'\\') + 1) + L"metabase.txt";
}

ondex::test::MetabaseModel& Model() {
    static ondex::test::MetabaseModel* model = [] {
        auto* made = new ondex::test::MetabaseModel;  // lives as long as the process
        made->BackWithFile(MetabaseFile());
        return made;
    }();
    return *model;
}

std::wstring ClsidText(const CLSID& clsid) {
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return text;
}

const CLSID* const kServedClasses[] = {&ondex::iis::kClsidAdminBase, &ondex::iis::kClsidWamAdmin,
                                       &ondex::test::kClsidAdsiDouble};

HRESULT SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

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
    for (const CLSID* clsid : kServedClasses) {
        const std::wstring key = L"CLSID\\" + ClsidText(*clsid) + L"\\InprocServer32";
        if (HRESULT hr = SetText(key, nullptr, ModulePath()); FAILED(hr)) return hr;
        if (HRESULT hr = SetText(key, L"ThreadingModel", L"Both"); FAILED(hr)) return hr;
    }
    return SetText(L"IIS\\CLSID", nullptr, ondex::test::kAdsiClsidText);
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    for (const CLSID* clsid : kServedClasses) RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClsidText(*clsid)).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"IIS");
    return S_OK;
}
