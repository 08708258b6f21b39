#include "accounts/account_lookup.h"

#include <sddl.h>

#include <string>
#include <vector>

#include "accounts/account_select.h"
#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::accounts {

namespace {

using platform::Api;
using runtime::MsiProperty;

constexpr DWORD kLookupNameChars = 520;

// Selects the whole text of an edit field and replaces it with `value`.
void ReplaceEditText(HWND edit, const std::wstring& value) {
    Api().SendMessageW(edit, EM_SETSEL, 0, -1);
    Api().SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(value.c_str()));
}

// The SID of an account name on the local computer: asked first for the
// sizes, then read. Returns the lookup's error, or 0.
DWORD SidOfName(const std::wstring& name, std::vector<BYTE>& sid) {
    DWORD sidSize = 0, domainChars = 0;
    SID_NAME_USE use;
    if (::LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainChars, &use))
        return ERROR_INVALID_PARAMETER;  // an answer without buffers is no answer
    if (const DWORD error = ::GetLastError(); error != ERROR_INSUFFICIENT_BUFFER) return error;
    sid.assign(sidSize, 0);
    std::wstring domain(domainChars, L'\0');
    if (!::LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain.data(), &domainChars, &use))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace

void UpdateCredUIControlsImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty password(hInstall, L"CREDUIPASSWORD"), confirmation(hInstall, L"CREDUICONFIRM");
    const HWND dialog = Api().FindWindowW(kInstallerDialogClass, nullptr);
    if (!Api().IsWindow(dialog)) return;
    const HWND first = Api().FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    if (!first) return;
    ReplaceEditText(first, password.Str());
    if (const HWND second = Api().FindWindowExW(dialog, first, L"Edit", nullptr))
        ReplaceEditText(second, confirmation.Str());
}

void StoreCredentialsImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty serviceAccount(hInstall, L"SERVICEACCOUNT");
    serviceAccount = MsiProperty(hInstall, kAccountProperty).Str();
    MsiProperty(hInstall, L"SERVICEPASSWORD") = MsiProperty(hInstall, L"CREDUIPASSWORD").Str();
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"Properties migrated",
                     L"Now service will run under \"%s\" account", serviceAccount.Str().c_str());
}

void LookAccountSidImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const std::wstring text = MsiProperty(hInstall, L"LookAccountSidSID").Str();
    platform::UniqueLocalMemory sid;
    wchar_t account[kLookupNameChars] = L"", domain[kLookupNameChars] = L"";
    DWORD accountChars = kLookupNameChars, domainChars = kLookupNameChars;
    SID_NAME_USE use;
    if (!::ConvertStringSidToSidW(text.c_str(), reinterpret_cast<PSID*>(sid.put())) ||
        !::LookupAccountSidW(nullptr, sid.get(), account, &accountChars, domain, &domainChars, &use)) {
        MsiProperty(hInstall, L"LookAccountSidDOMAIN") = runtime::SystemMessageText(::GetLastError());
        MsiProperty(hInstall, L"LookAccountSidRESULT") = L"ERROR";
        return;
    }
    MsiProperty(hInstall, L"LookAccountSidACCOUNT") = account;
    MsiProperty(hInstall, L"LookAccountSidDOMAIN") = domain;
    MsiProperty(hInstall, L"LookAccountSidRESULT") = L"OK";
}

void LookAccountNameImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"LookAccountNameResult");
    result = L"";
    const std::wstring user = MsiProperty(hInstall, L"LookAccountUser").Str();
    if (user.empty()) {
        runtime::LogTimestamped(hInstall, L"PROPERTY LookAccountUser is empty.");
        return;
    }
    std::vector<BYTE> sid;
    if (const DWORD error = SidOfName(user, sid))
        return runtime::LogTimestampedError(hInstall, error, L"GetSidByName failed.");
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid.data(), &text))
        return runtime::LogTimestampedError(hInstall, ::GetLastError(), L"ConvertSidToStringSid failed.");
    const platform::UniqueLocalMemory owner(text);
    result = text;
}

}  // namespace ondex::accounts
