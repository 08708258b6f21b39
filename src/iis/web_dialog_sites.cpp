// The web-site dialog's actions that ask IIS: the target site's number and
// bindings, and the IIS-side check of a typed port.
#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "iis/web_dialog.h"
#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::iis {

namespace {

using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

void TraceInitialBindings(MSIHANDLE hInstall, UINT flags, const wchar_t* actionName) {
    if (!(flags & TF_TRACE)) return;
    std::wstring text = L"Initial Server bindings: ";
    for (const wchar_t* name : {L"HOSTHEADER", L"IPADDRESS", L"TCPPORT"})
        text += L"\n" + QuotedProperty(name, MsiProperty(hInstall, name).Str());
    TraceIf(flags, TF_TRACE, actionName, L"GetIIsServerBindings", L"%s", text.c_str());
}

// The verdict of the site check once the port text is a number.
const wchar_t* SiteCheckVerdict(const std::wstring& name, const std::wstring& port, UINT flags,
                                const wchar_t* actionName) {
    wchar_t keyPath[256] = L"";
    BOOL found = FALSE;
    if (!WebFindBase(name.c_str(), nullptr, port.c_str(), nullptr, nullptr, keyPath, &found)) return L"OK";
    if (found) {
        TraceIf(flags, TF_TRACE, actionName, L"CheckWebConfig", L"%s", L"Web base for the site found, and exist");
        return L"OK_EXIST";
    }
    TraceIf(flags, TF_TRACE, actionName, L"CheckWebConfig", L"%s", L"Web base for the site found");
    return L"E_TCPPORTVALUE_PORTOCCUPIED";
}

}  // namespace

void SetTargetSiteIdImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty siteId(hInstall, L"WEBSITEMBROOTID");
    MsiProperty siteName(hInstall, L"WEBSITENAME");
    if (IsXpOrOlder(hInstall)) {
        siteId = L"1";
        siteName = L"Default Web Site";
    } else {
        siteId = GetNextFreeSiteId();
    }
    TraceIf(flags, TF_TRACE, actionName, L"Updated WEBSITEMBROOTID", L"WEBSITEMBROOTID = %s\nWEBSITENAME=%s",
            siteId.Str().c_str(), siteName.Str().c_str());
}

void GetIIsServerBindingsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    TraceInitialBindings(hInstall, flags, actionName);
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        TraceIf(flags, TF_TRACE, actionName, L"GetIIsServerBindings", L"%s", L"WAM Admin Initialization failed");
        result = static_cast<UINT>(wam.Status());
        return;
    }
    const std::wstring path = L"/LM/W3SVC/" + MsiProperty(hInstall, L"WEBSITEMBROOTID").Str();
    std::wstring port, host, ip;
    if (GetSiteServerBindings(path.c_str(), &port, &host, &ip)) {
        MsiProperty(hInstall, L"HOSTHEADER") = host;
        MsiProperty(hInstall, L"IPADDRESS") = ip;
        MsiProperty(hInstall, L"TCPPORT") = port;
        TraceIf(flags, TF_TRACE, actionName, L"GetIIsServerBindings", L"%s", L"Server Bindings set");
    } else {
        TraceIf(flags, TF_TRACE, actionName, L"GetIIsServerBindings", L"%s", L"Getting Server Bindings Failed");
    }
    result = static_cast<UINT>(wam.End());
}

void CheckWebConfigImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty verdict(hInstall, L"CheckWebConfigResultCode");
    verdict = L"E_UNKNOWNERROR";
    MsiProperty port(hInstall, L"EDIT_TCPPORT");
    std::wstring rewritten;
    const std::wstring refused = WebPortVerdict(port.Str(), rewritten);
    if (!rewritten.empty()) port = rewritten;
    if (!refused.empty()) {
        verdict = refused;
        return;
    }
    if (MsiProperty(hInstall, L"DISABLETCPPORTCHECKING").Str().rfind(L'1', 0) == 0) {
        verdict = L"OK";
        return;
    }
    verdict = SiteCheckVerdict(MsiProperty(hInstall, L"EDIT_NEWWEBSITENAME").Str(), rewritten, flags, actionName);
}

}  // namespace ondex::iis
