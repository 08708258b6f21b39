#pragma once
// Windows Firewall exceptions for the product's programs and TCP ports:
// deferred actions that take their work list from "CustomActionData".
#include <windows.h>
#include <msi.h>

namespace ondex::system {

void FirewallAddApplicationImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void FirewallRemoveApplicationImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::system
