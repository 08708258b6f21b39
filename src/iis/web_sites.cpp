// The web sites under "/LM/W3SVC": enumeration and the finders built on it.
#include <optional>
#include <string>
#include <vector>

#include "iis/iis_text.h"
#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::iis {

using namespace detail;

namespace {

constexpr wchar_t kWebServer[] = L"IIsWebServer";
constexpr wchar_t kComFailed[] = L"Failed to initialize COM.";
constexpr wchar_t kCreateFailed[] = L"Cannot instatiate IMSAdminBase";
constexpr wchar_t kNotFound[] = L"Cannot fount website in metabase";
constexpr char kAddressFailed[] = "Failed to get address from metabase while searching for web servers";

// What a visitor decides for one site: go on, or end the walk with a code.
using Step = std::optional<HRESULT>;
constexpr Step kNext = std::nullopt;

struct Site {
    std::wstring key, path;
};

// Calls `visit` for every key of "/LM/W3SVC" whose KeyType (read with
// `keyTypeDataType`) is "IIsWebServer", in EnumKeys order. Keys without a
// KeyType are skipped; another read failure ends the walk (logged). Returns
// the visitor's code, the failure, or S_FALSE at the end of the keys.
template <typename Visit>
HRESULT ForEachWebSite(IMSAdminBaseW* admin, DWORD keyTypeDataType, Visit visit) {
    wchar_t name[METADATA_MAX_NAME_LEN] = {};
    for (DWORD index = 0;; ++index) {
        const HRESULT enumerated = admin->EnumKeys(METADATA_MASTER_ROOT_HANDLE, kWebRoot, name, index);
        if (FAILED(enumerated)) return enumerated == kHrNoMoreItems ? S_FALSE : enumerated;
        const Site site{name, std::wstring(kWebRoot) + L"/" + name};
        OwnedRecord keyType(kMdKeyType, METADATA_INHERIT, IIS_MD_UT_SERVER, keyTypeDataType);
        const HRESULT hr = keyType.Read(admin, site.path);
        if (NotFound(hr)) continue;
        if (FAILED(hr)) {
            runtime::WcaLogError(hr, "Failed to get key from metabase while searching for web servers");
            return hr;
        }
        if (keyType.Text() != kWebServer) continue;
        if (const Step step = visit(site)) return *step;
    }
}

// The same for the sites whose first ServerBindings string reads and splits.
template <typename Visit>
HRESULT ForEachBoundSite(IMSAdminBaseW* admin, Visit visit) {
    return ForEachWebSite(admin, ALL_METADATA, [&](const Site& site) -> Step {
        OwnedRecord bindings(kMdServerBindings, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
        const HRESULT hr = bindings.Read(admin, site.path);
        if (NotFound(hr)) return kNext;
        if (FAILED(hr)) {
            runtime::WcaLogError(hr, kAddressFailed);
            return hr;
        }
        const auto binding = SplitServerBinding(bindings.Text());
        if (hr != S_OK || !binding) return kNext;
        return visit(site, *binding);
    });
}

// A private admin object, or the report of why there is none.
bool Usable(const PrivateAdminBase& admin, const char* traceKey, const wchar_t* scope, const wchar_t* comTitle,
            const wchar_t* createTitle) {
    if (FAILED(admin.ComStatus())) return Report(traceKey, scope, comTitle, kComFailed), false;
    if (FAILED(admin.CreateStatus())) return Report(traceKey, scope, createTitle, kCreateFailed), false;
    return true;
}

void Log(MSIHANDLE hInstall, const wchar_t* text) { runtime::LogTimestamped(hInstall, text); }

}  // namespace

bool WebFindBase(LPCWSTR name, LPCWSTR, LPCWSTR portText, LPCWSTR, LPCWSTR, LPWSTR keyPath, BOOL* found) {
    return Guarded(false, [&]() -> bool {
        if (found) *found = FALSE;
        PrivateAdminBase admin;
        constexpr wchar_t kOccupied[] = L"Cannot check whether TcpPort occupied";
        if (!Usable(admin, "INTF_WebFindBase", L"WebFindBase", kOccupied, kOccupied)) return false;
        const std::wstring wanted = name ? name : L"";
        const std::uint32_t port = ParseDecimalPrefix(portText ? portText : L"");
        std::wstring matched;
        bool named = false;
        const HRESULT hr = ForEachBoundSite(admin.get(), [&](const Site& site, const SiteBinding& binding) -> Step {
            if (!BindingMatches(binding, L"*", port, L"*")) return kNext;
            matched = site.path;
            OwnedRecord comment(kMdServerComment, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
            const HRESULT read = comment.Read(admin.get(), site.path);
            if (NotFound(read)) return kNext;
            if (FAILED(read)) {
                runtime::WcaLogError(read, "Failed to get comment (site name) from metabase while searching for web servers");
                return read;
            }
            named = comment.Text() == wanted || wanted == L"*";
            return S_OK;
        });
        if (hr != S_OK) return false;
        if (keyPath) runtime::StrCopyTruncate(keyPath, METADATA_MAX_NAME_LEN, matched.c_str());
        if (found) *found = named ? TRUE : FALSE;
        return true;
    });
}

DWORD WebFindSite(DWORD port, LPCWSTR, LPCWSTR, BOOL checkCert) {
    return Guarded(kNoSite, [&]() -> DWORD {
        PrivateAdminBase admin;
        if (!Usable(admin, "INTF_WebFindSite", L"WebFindSite", L"Cannot check whether TcpPort occupied", kNotFound))
            return kNoSite;
        DWORD result = kNoSite;
        ForEachBoundSite(admin.get(), [&](const Site& site, const SiteBinding& binding) -> Step {
            if (!BindingMatches(binding, L"*", port, L"*")) return kNext;
            OwnedRecord hash(kMdSslCertHash, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
            result = checkCert && hash.Read(admin.get(), site.path) == S_OK ? 0 : ParseDecimalPrefix(site.key);
            return S_OK;
        });
        if (result == kNoSite) Report("INTF_WebFindSite", L"WebFindSite", kNotFound, L"Cannot run thru objects chain");
        return result;
    });
}

DWORD WebFindSiteByComment(LPCWSTR comment, MSIHANDLE hInstall) {
    return Guarded(kNoSite, [&]() -> DWORD {
        PrivateAdminBase admin;
        if (FAILED(admin.ComStatus())) return Log(hInstall, kComFailed), kNoSite;
        if (FAILED(admin.CreateStatus())) return Log(hInstall, kCreateFailed), kNoSite;
        const std::wstring wanted = comment ? comment : L"";
        DWORD result = kNoSite;
        ForEachWebSite(admin.get(), ALL_METADATA, [&](const Site& site) -> Step {
            OwnedRecord text(kMdServerComment, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
            const HRESULT hr = text.Read(admin.get(), site.path);
            if (NotFound(hr)) return kNext;
            if (FAILED(hr)) {
                runtime::WcaLogError(hr, kAddressFailed);
                return hr;
            }
            if (text.Text() != wanted) return kNext;
            result = ParseDecimalPrefix(site.key);
            return S_OK;
        });
        if (result == kNoSite) Log(hInstall, kNotFound);
        return result;
    });
}

std::wstring GetNextFreeSiteId() {
    return Guarded(std::wstring(L"1"), [&]() -> std::wstring {
        WamAdminScope wam;
        if (FAILED(wam.Status())) return L"1";
        std::vector<std::uint32_t> used;
        ForEachWebSite(g_spAdminBase.get(), STRING_METADATA, [&](const Site& site) -> Step {
            used.push_back(ParseDecimalPrefix(site.key));
            return kNext;
        });
        wam.End();
        return std::to_wstring(NextFreeSiteId(std::move(used)));
    });
}

BOOL GetSiteServerBindings(LPCWSTR path, std::wstring* port, std::wstring* host, std::wstring* ip) {
    return Guarded(FALSE, [&]() -> BOOL {
        if (!g_spAdminBase || !path) return ::SetLastError(static_cast<DWORD>(E_POINTER)), FALSE;
        OwnedRecord bindings(kMdServerBindings, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
        const HRESULT hr = bindings.Read(g_spAdminBase.get(), path);
        if (FAILED(hr)) return ::SetLastError(static_cast<DWORD>(hr)), FALSE;
        const auto binding = SplitServerBinding(bindings.Text());
        if (!binding) return ::SetLastError(ERROR_INVALID_DATA), FALSE;
        if (port) *port = binding->port;
        if (host) *host = binding->host;
        if (ip) *ip = binding->ip;
        return TRUE;
    });
}

bool CollectIISSitesSettings(LPCWSTR, LPCWSTR, HKEY key) {
    return Guarded(false, [&]() -> bool {
        PrivateAdminBase admin;
        constexpr wchar_t kTitle[] = L"Cannot Collect IIS Settings";
        if (!Usable(admin, "INTF_CollectIISSitesSettings", L"CollectIISSitesSettings", kTitle, kTitle)) return false;
        const HRESULT hr = ForEachWebSite(admin.get(), ALL_METADATA, [&](const Site& site) -> Step {
            constexpr DWORD kAnonymousAndWindows = 5;
            OwnedRecord flags(kMdAuthFlags, METADATA_INHERIT, IIS_MD_UT_SERVER, ALL_METADATA);
            const HRESULT read = flags.Read(admin.get(), site.path);
            if (FAILED(read) && !NotFound(read)) return read;
            const DWORD value = FAILED(read) ? kAnonymousAndWindows : flags.Dword();
            ::RegSetValueExW(key, site.path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value);
            return kNext;
        });
        return hr == S_OK;
    });
}

}  // namespace ondex::iis
