#pragma once
// The credential dialog's field refresh and hand-over, and two small account
// lookups: UpdateCredUIControls, StoreCredentials, LookAccountSid and
// LookAccountName.
#include <windows.h>
#include <msi.h>

namespace ondex::accounts {

void UpdateCredUIControlsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void StoreCredentialsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void LookAccountSidImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void LookAccountNameImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::accounts
