#pragma once
// The credential checks behind the service-account dialog: each logs on with
// the service logon type after granting the account the right to log on as a
// service, and reports the outcome in properties.
#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>
#include <vector>

namespace ondex::accounts {

// Gives `account` the right "SeServiceLogonRight" on this computer: 1 when
// granted, 0 when the account cannot be resolved or the right not added, 13
// when the policy cannot be opened.
UINT GrantServiceLogonRight(const std::wstring& account);

// The account's SID (LookupAccountNameW on this computer), or nothing.
std::optional<std::vector<BYTE>> GetAccountSid(const wchar_t* account);

void CheckCredentialsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CheckCredentials2Impl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CheckSetServiceCredentialsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::accounts
