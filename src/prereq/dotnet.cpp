#include "prereq/dotnet.h"

#include <vector>

#include "platform/handles.h"
#include "prereq/shell.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::prereq {

namespace {

constexpr REGSAM kReadAccess = 0x20019;  // KEY_READ
constexpr wchar_t kRuntimeClassKey[] =
    L"SOFTWARE\\Classes\\CLSID\\{99749841-0D55-4cf4-8D0D-F212ECE9409A}\\InprocServer32";

constexpr wchar_t kAssemblySupport[] = L"MsiNetAssemblySupport";
constexpr wchar_t kVersionNeed[] = L"CHKRQ_PRODDOTNETFX20_VERSIONNEED";
constexpr wchar_t kVersionFound[] = L"CHKRQ_PRODDOTNETFX20_VERSIONFOUND";
constexpr wchar_t kStatusText[] = L"CHKRQ_PRODDOTNETFX20_STATUSTEXT";
constexpr wchar_t kStatusCode[] = L"CHKRQ_PRODDOTNETFX20_STATUSCODE";

constexpr char kCompareTraceKey[] = "INTF_INTF_CompareVersion";
constexpr size_t kCommandChars = 520;

VersionInfo ParsedProperty(MSIHANDLE hInstall, const wchar_t* name) {
    VersionInfo version;
    ParseVersionString(runtime::MsiProperty(hInstall, name).Str(), &version);
    return version;
}

}  // namespace

std::wstring RegReadStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName,
                                const std::wstring& defaultValue) {
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(root, subKey, 0, kReadAccess, key.put()) != ERROR_SUCCESS) return defaultValue;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return defaultValue;
    // Two spare bytes terminate a text stored without its terminator.
    std::vector<wchar_t> data((size + 2 + sizeof(wchar_t) - 1) / sizeof(wchar_t), L'\0');
    DWORD bytes = size + 2;
    if (::RegQueryValueExW(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
        ERROR_SUCCESS)
        return defaultValue;
    return data.data();
}

void UpdateNetAssemblySupport(MSIHANDLE hInstall) {
    runtime::MsiProperty support(hInstall, kAssemblySupport);
    std::wstring version = RegReadStringValue(HKEY_LOCAL_MACHINE, kRuntimeClassKey, L"RuntimeVersion", support.Str());
    if (version.empty()) return;
    if (version[0] == L'v' || version[0] == L'V') version.erase(0, 1);
    support = version;
}

std::uint32_t CompareVersion(const VersionInfo& found, const VersionInfo& required) {
    const UINT flags = runtime::GetTracerFlags(kCompareTraceKey);
    const std::uint32_t result = VersionComparison(found, required);
    runtime::TraceIf(flags, runtime::TF_TRACE, L"INTF_CompareVersion", L"Return Value", L"Result: %u", result);
    return result;
}

void CheckDotNetFx20Impl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    runtime::MsiProperty support(hInstall, kAssemblySupport);
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"...", L"MsiNetAssemblySupport before update: %s",
                     support.Value());
    UpdateNetAssemblySupport(hInstall);
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"...", L"MsiNetAssemblySupport after update: %s",
                     support.Value());

    const std::uint32_t comparison =
        CompareVersion(ParsedProperty(hInstall, kAssemblySupport), ParsedProperty(hInstall, kVersionNeed));
    runtime::MsiProperty(hInstall, kVersionFound) = support.Str();
    const bool present = comparison == kVersionSameMinor;
    const wchar_t* statusText =
        present ? L"STRINGRES_CHKRQ_PROD_STATUS_OK" : L"STRINGRES_CHKRQ_PROD_STATUS_PRODUCTNOTFOUND";
    runtime::MsiProperty(hInstall, kStatusText) = runtime::MsiProperty(hInstall, statusText).Str();
    runtime::MsiProperty(hInstall, kStatusCode) = present ? L"OK" : L"E_NOT_INSTALLED";
}

void InstallDotNetFx20Impl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    runtime::ScopedLayerString path;
    runtime::WcaGetFormattedProperty(L"DOTNETFX_EXE", path.put());
    std::wstring command = runtime::FormatWide(L"\"%s\"  /q:a /c:\"install /q /l\"", path.get() ? path.get() : L"");
    if (command.size() >= kCommandChars) command.resize(kCommandChars - 1);

    const bool hidden = runtime::WcaIsHiddenProperty(hInstall, L"DOTNETFX_EXE");
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"Executing DOTNETFX.EXE installer", L"%s",
                     hidden ? runtime::kHiddenValue : command.c_str());
    const int code = ShellWithProgress(command.c_str(), hInstall, L"Installing Microsoft .NET Framework 2.0", 500, 1);
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"DOTNETFX.EXE Result Code", L"%i", code);
}

}  // namespace ondex::prereq
