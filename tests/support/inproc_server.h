#pragma once
// For the test doubles built as registrable in-process COM servers (for the
// installations that msiexec runs; never shipped): the classes' registration
// under HKCR and the files the server is scripted by.
#include <windows.h>

#include <span>
#include <string>

namespace ondex::test {

inline std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

// The file named by the environment value `variable`, else `name` beside the module.
inline std::wstring ScriptFile(HMODULE module, const wchar_t* variable, const wchar_t* name) {
    wchar_t named[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(variable, named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return named;
    const std::wstring path = ModulePath(module);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

inline std::wstring ClsidText(const CLSID& clsid) {
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return text;
}

inline HRESULT SetClassesText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

inline HRESULT RegisterInprocClasses(HMODULE module, std::span<const CLSID* const> classes) {
    for (const CLSID* clsid : classes) {
        const std::wstring key = L"CLSID\\" + ClsidText(*clsid) + L"\\InprocServer32";
        if (HRESULT hr = SetClassesText(key, nullptr, ModulePath(module)); FAILED(hr)) return hr;
        if (HRESULT hr = SetClassesText(key, L"ThreadingModel", L"Both"); FAILED(hr)) return hr;
    }
    return S_OK;
}

inline void UnregisterInprocClasses(std::span<const CLSID* const> classes) {
    for (const CLSID* clsid : classes) RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClsidText(*clsid)).c_str());
}

// The module of the server this header is compiled into, kept by its DllMain.
inline HMODULE g_serverModule = nullptr;

}  // namespace ondex::test

// The exports a double's server shares besides DllGetClassObject: DllMain
// keeps the module, the server never unloads, and regsvr32 registers the
// classes of `classes` (an array of CLSID pointers) or, with /u, removes them.
#define ONDEX_INPROC_SERVER_EXPORTS(classes)                                             \
    extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {             \
        if (reason == DLL_PROCESS_ATTACH) ondex::test::g_serverModule = module;          \
        return TRUE;                                                                     \
    }                                                                                    \
    extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }                      \
    extern "C" HRESULT WINAPI DllRegisterServer() {                                      \
        return ondex::test::RegisterInprocClasses(ondex::test::g_serverModule, classes); \
    }                                                                                    \
    extern "C" HRESULT WINAPI DllUnregisterServer() {                                    \
        ondex::test::UnregisterInprocClasses(classes);                                   \
        return S_OK;                                                                     \
    }
