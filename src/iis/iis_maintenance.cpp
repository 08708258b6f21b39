// The deferred clean-up of what the product made in IIS, and the web root
// and framework paths the package is given.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <functional>
#include <optional>
#include <string>

#include "iis/iis_state.h"
#include "iis/iis_state_text.h"
#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "setuplib/ox_trusted_fs.h"

namespace ondex::iis {

namespace {

using runtime::LogTimestamped;
using runtime::LogTimestampedError;
using runtime::MsiProperty;
using runtime::TraceIf;

constexpr DWORD kSiteKeysTimeout = 1000;

void LogFailure(MSIHANDLE hInstall, HRESULT hr, const std::wstring& text) {
    LogTimestampedError(hInstall, static_cast<DWORD>(hr), text.c_str());
}

// ---- DeleteWebSiteStuff ----

// Deletes the tree of a site's root folder with the shell, silently. A drive
// root, a link and a folder a standard user owns are left alone: this runs
// elevated on a path that anyone able to change the site could have set.
void DeleteFolderTree(MSIHANDLE hInstall, const std::wstring& path) {
    const std::optional<std::wstring> folder = FolderToDelete(path);
    const wchar_t* belowRoot = folder ? ::PathSkipRootW(folder->c_str()) : nullptr;
    if (!belowRoot || !*belowRoot) {
        LogTimestamped(hInstall, (L"The folder '" + path + L"' is not deleted.").c_str());
        return;
    }
    std::wstring refusal;
    if (!OxSetupLib::IsTrusted(*folder, &refusal)) {
        LogTimestamped(hInstall, refusal.c_str());
        return;
    }
    const std::wstring from = *folder + L'\0';  // a list of one, closed by a second null
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (const int error = ::SHFileOperationW(&operation))
        LogTimestamped(hInstall, (L"DeleteDirectory failed. Error: " + std::to_wstring(error)).c_str());
}

void DeleteSiteFolder(MSIHANDLE hInstall, const std::wstring& site) {
    detail::PrivateAdminBase admin;
    if (FAILED(admin.ComStatus()) || FAILED(admin.CreateStatus())) {
        LogFailure(hInstall, FAILED(admin.ComStatus()) ? admin.ComStatus() : admin.CreateStatus(),
                   L"CoCreateInstance MSAdminBase failed.");
        return;
    }
    const std::wstring path = L"/LM/W3SVC/" + site + L"/ROOT";
    detail::OwnedRecord root(kMdPath, METADATA_INHERIT, IIS_MD_UT_FILE, ALL_METADATA);
    const HRESULT hr = root.Read(admin.get(), path);
    if (FAILED(hr)) return LogFailure(hInstall, hr, L"MetaGetValue Path failed. Path:" + path);
    const std::wstring folder(root.Text());
    LogTimestamped(hInstall, (L"Folder of web site: " + folder).c_str());
    DeleteFolderTree(hInstall, folder);
}

void DeleteKeyLogged(MSIHANDLE hInstall, METADATA_HANDLE parent, const std::wstring& key, const wchar_t* done) {
    const HRESULT hr = g_spAdminBase->DeleteKey(parent, key.c_str());
    LogTimestamped(hInstall, SUCCEEDED(hr) ? done : (L"DeleteKey " + key + L" failed.").c_str());
}

// The site's key and its application pool's (shared object).
HRESULT DeleteSiteKeys(MSIHANDLE hInstall, const std::wstring& site, const std::wstring& comment) {
    detail::OpenedKey web(g_spAdminBase.get(), detail::kWebRoot, detail::kReadWrite, kSiteKeysTimeout);
    if (FAILED(web.Status())) {
        LogTimestamped(hInstall, L"OpenKey  /LM/W3SVC failed.");
        return web.Status();
    }
    LogTimestamped(hInstall, L"OpenKey succeded.");
    DeleteKeyLogged(hInstall, web.get(), L"/" + site, L"DeleteKey site stuff succeded.");
    DeleteKeyLogged(hInstall, web.get(), L"/AppPools/" + comment, L"DeleteKey site AppPools succeded.");
    const HRESULT closed = web.Close();
    if (FAILED(closed)) LogTimestamped(hInstall, L"CloseKey /LM/W3SVC failed.");
    return closed;
}

HRESULT ScaDeleteWebSiteStuff(MSIHANDLE hInstall, const std::wstring& comment) {
    const DWORD site = WebFindSiteByComment(comment.c_str(), hInstall);
    if (site == kNoSite) LogTimestamped(hInstall, L"No site with such comment find.");
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        LogFailure(hInstall, wam.Status(), L"InitWamAdmin failed.");
        return wam.Status();
    }
    const std::wstring number = SignedSiteNumber(site);
    LogTimestamped(hInstall, (L"Path of web site:/" + number).c_str());
    DeleteSiteFolder(hInstall, number);
    const HRESULT hr = DeleteSiteKeys(hInstall, number, comment);
    if (FAILED(wam.End())) LogTimestamped(hInstall, L"UnInitWamAdmin failed.");
    return hr;
}

// Runs `work` on the action's data inside the shared bracket; empty data does
// nothing, and InitWamAdmin's failure is the action's result.
void OnDataWithWamAdmin(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall,
                        const std::function<void(const std::wstring&)>& work) {
    const std::wstring data = MsiProperty(hInstall, L"CustomActionData").Str();
    if (data.empty()) return;
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        TraceIf(flags, runtime::TF_ERROR, actionName, L"IIS Administration", L"%s", L"WAM Admin Initialization failed");
        result = static_cast<UINT>(wam.Status());
        return;
    }
    work(data);
    wam.End();
    TraceIf(flags, runtime::TF_TRACE, actionName, L"IIS Administration", L"%s", L"IIS Admin Uninit");
}

// ---- The web root ----

// An expandable value comes expanded (IIS 7 writes "%SystemDrive%\inetpub\wwwroot").
std::wstring ReadPathWWWRoot() {
    wchar_t value[MAX_PATH] = L"";
    DWORD bytes = sizeof value;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\InetStp", L"PathWWWRoot",
                       RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

}  // namespace

void DeleteWebSiteStuffImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const std::wstring comment = MsiProperty(hInstall, L"CustomActionData").Str();
    if (comment.empty()) {
        LogTimestamped(hInstall, L"CustomActionData is empty.");
        return;
    }
    if (FAILED(ScaDeleteWebSiteStuff(hInstall, comment)))
        LogTimestamped(hInstall, L"Function ScaDeleteWebSiteStuff failed.");
}

void DeleteVirtualRootXPImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    OnDataWithWamAdmin(result, actionName, flags, hInstall,
                       [](const std::wstring& name) { DeleteVirtualRoot(name.c_str()); });
}

void SetPiplineModeClassicImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    OnDataWithWamAdmin(result, actionName, flags, hInstall, [&](const std::wstring& pool) {
        TraceIf(flags, runtime::TF_TRACE, actionName, L"IIS Administration", L"%s", L"Changing IIS Pipline Mode...");
        SetAppPoolPipelineModeClassic(pool.c_str());
    });
}

void GetPathWWWRootImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty root(hInstall, L"IISROOTDIR");
    TraceIf(flags, runtime::TF_TRACE, actionName, L"GetPathWWWRoot", L"IISROOTDIR before GetPathWWWRoot: %s",
            root.Str().c_str());
    const std::wstring webRoot = WithTrailingBackslash(ReadPathWWWRoot());
    if (webRoot.size() > 2) {
        const wchar_t* afterRoot = ::PathSkipRootW(webRoot.c_str());
        if (afterRoot && IsDefaultWebRootTail(afterRoot)) root = webRoot;
    }
    TraceIf(flags, runtime::TF_TRACE, actionName, L"GetPathWWWRoot", L"IISROOTDIR after GetPathWWWRoot: %s",
            root.Str().c_str());
    TraceIf(flags, runtime::TF_TRACE, actionName, L"GetPathWWWRoot", L"%s", L"End up!");
}

void GetDotNetFrameworkPathImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty(hInstall, L"DOTNETFRAMEWORKPATH") =
        GetASPNETREGIISPath(MsiProperty(hInstall, L"DOTNETFRAMEWORKINSTALLROOT").Str(),
                            MsiProperty(hInstall, L"MsiNetAssemblySupport").Str());
}

}  // namespace ondex::iis
