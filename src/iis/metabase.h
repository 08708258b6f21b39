#pragma once
// The IIS metabase layer: the only code that talks to the IIS Admin Base
// Object (Unicode flavour), the WAM administration object and the ADSI IIS
// provider. Operations return codes or flags and never throw; BOOL results
// leave the cause in the thread's last error. "Shared" operations need the
// InitWamAdmin / UnInitWamAdmin bracket, the others make their own object.
#include <windows.h>
#include <msi.h>
#include <iadmw.h>
#include <iiscnfg.h>

#include <string>

#include "iis/wam_admin.h"
#include "platform/com.h"

namespace ondex::iis {

// {A9E69610-B80D-11D0-B9B9-00A0C922E750} and {70B51430-B6CA-11D0-B9B9-00A0C922E750}
inline constexpr CLSID kClsidAdminBase = {0xA9E69610, 0xB80D, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};
inline constexpr IID kIidAdminBase = {0x70B51430, 0xB6CA, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};
// In-process server and handler, local and remote server.
inline constexpr DWORD kIisClassContext = 23;

// Metadata identifiers.
inline constexpr DWORD kMdKeyType = 1002;
inline constexpr DWORD kMdServerComment = 1015;
inline constexpr DWORD kMdServerState = 1016;
inline constexpr DWORD kMdServerBindings = 1023;
inline constexpr DWORD kMdSecureBindings = 2021;
inline constexpr DWORD kMdWebSvcExtRestrictionList = 2168;
inline constexpr DWORD kMdPath = 3001;
inline constexpr DWORD kMdSslCertHash = 5506;
inline constexpr DWORD kMdSslStoreName = 5511;
inline constexpr DWORD kMdAuthFlags = 6000;
inline constexpr DWORD kMdEnable32BitAppOnWin64 = 9040;
inline constexpr DWORD kMdManagedPipelineMode = 9041;

// Status codes the layer tells apart.
inline constexpr HRESULT kHrDataNotFound = static_cast<HRESULT>(0x800CC801);
inline constexpr HRESULT kHrPathNotFound = static_cast<HRESULT>(0x80070003);
inline constexpr HRESULT kHrNoMoreItems = static_cast<HRESULT>(0x80070103);
inline constexpr HRESULT kHrInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

inline constexpr DWORD kNoSite = 0xFFFFFFFF;

// The shared pair, null outside the bracket.
extern platform::ComPtr<IMSAdminBaseW> g_spAdminBase;
extern platform::ComPtr<IWamAdmin> g_spWamAdmin;

// Initialises COM and creates both shared objects; on failure nothing stays.
HRESULT InitWamAdmin();
// Releases both and uninitialises COM; 0.
HRESULT UnInitWamAdmin();

// Reads one record. With a null `admin` a private object is made for the
// call. A record without a buffer gets a zeroed 256-byte one; a buffer from
// an earlier call is reused at its size; too small a buffer is grown once.
// The buffer is on the process heap: free it with MetaFreeValue.
HRESULT MetaGetValue(IMSAdminBaseW* admin, METADATA_HANDLE handle, LPCWSTR path, METADATA_RECORD* record);
void MetaFreeValue(METADATA_RECORD* record);

// Writes one record at `path` (shared). DWORD: `data` points to it; string
// and expandable string: `data` is the text and `length` is ignored; byte
// string: `length` bytes; multi-string: `data` is a ';'-separated list.
// Type 0 and an empty list fail with 50, a type above 5 with 87.
BOOL MetaSetValue(LPCWSTR path, DWORD identifier, DWORD attributes, DWORD userType, DWORD dataType, DWORD length,
                  const void* data);

// A local-heap copy (LocalFree), or null.
LPWSTR MakeUnicode(LPCWSTR text);

// Deletes an application recursively; a path without a leading '/' is
// taken below "/LM/" (shared WAM).
BOOL DeleteApplication(LPCWSTR path);
// Deletes the application and the key of a virtual directory of site 1 (shared).
BOOL DeleteVirtualRoot(LPCWSTR name);
// Allows the web service extension whose list entry contains `text`
// (shared). TRUE also when the server has no extension list.
BOOL EnableASPNET(LPCWSTR unused, LPCWSTR text, LPWSTR scratch);

// Whether a site has a binding on `portText` (ip and host "*"): true with its
// key path in `keyPath` (256 characters) when the first such site has a
// comment; `found` tells whether that comment is `name` (or `name` is "*").
bool WebFindBase(LPCWSTR name, LPCWSTR unused1, LPCWSTR portText, LPCWSTR unused2, LPCWSTR unused3, LPWSTR keyPath,
                 BOOL* found);
// The number of the first site bound to `port`; 0 when `checkCert` and the
// site has a certificate hash; kNoSite when none.
DWORD WebFindSite(DWORD port, LPCWSTR unused1, LPCWSTR unused2, BOOL checkCert);
// The number of the first site whose ServerComment is `comment`, or kNoSite.
DWORD WebFindSiteByComment(LPCWSTR comment, MSIHANDLE hInstall);
// The smallest site number no web site uses, as decimal text ("1" when the
// metabase cannot be reached). Opens and closes the bracket itself.
std::wstring GetNextFreeSiteId();
// The first ServerBindings string of the site at `path`, split (shared).
BOOL GetSiteServerBindings(LPCWSTR path, std::wstring* port, std::wstring* host, std::wstring* ip);
// One REG_DWORD value per web site in `key`: name the site's key path, data
// its AuthFlags (5 when it has none). True only when the walk stopped at a
// failing call with S_OK, so a completed walk reports false.
bool CollectIISSitesSettings(LPCWSTR unused1, LPCWSTR unused2, HKEY key);

// Enable32BitAppOnWin64 on "/LM/W3SVC/AppPools" (shared).
HRESULT SetEnable32BitAppOnWin64(MSIHANDLE hInstall);
HRESULT GetEnable32BitAppOnWin64(MSIHANDLE hInstall, DWORD* value);
// Managed pipeline mode Classic on one application pool (shared).
void SetAppPoolPipelineModeClassic(LPCWSTR pool);
// SSLCertHash, SSLStoreName "MY" and SecureBindings ":<port>:" on a site (shared).
BOOL EnableSiteCert(LPCWSTR siteText, LPCWSTR portText, LPCWSTR hashText);

// Calls `method` of site `site` through ADSI; a failure is logged and kept in
// the property "ExecIisWebServerMethodError".
HRESULT ExecIisWebServerMethod(LPCWSTR method, DWORD site, MSIHANDLE hInstall);

}  // namespace ondex::iis
