#pragma once
// Installer UI helpers: administrator check, Cancel button, logoff offer,
// OK/Cancel question, processor count and the summary page text.
#include <windows.h>
#include <msi.h>

namespace ondex::prereq {

void IsUserAdminImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void HideCancelButtonImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void ShowCancelButtonImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void ScheduleLogoffImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void AskOKCancelImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetCoreNumberImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void GetInstallationSummaryImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::prereq
