#pragma once
// The web-site dialog's immediate actions: the package's IIS tables trimmed
// to the running Windows version, the dialog's first values, the checks of a
// typed port and the properties the dialog's choice turns into. Results go to
// installer properties, never to boxes.
#include <windows.h>
#include <msi.h>

#include <cstdint>

#include "iis/web_dialog_text.h"

namespace ondex::iis {

// True for the installer condition "VersionNT <= 501" (Windows XP and older);
// anything but a false evaluation counts as true.
bool IsXpOrOlder(MSIHANDLE hInstall);

// Whether a local TCP port is in use, from the IPv4 TCP table.
PortUse LocalTcpPortUse(std::uint16_t port);

void PreInitIIsWebDataImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void InitWebConfigGuiImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CheckLocalTCPImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void StoreWebConfigImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
// These ask IIS through the metabase layer.
void SetTargetSiteIdImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetIIsServerBindingsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void CheckWebConfigImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::iis
