#pragma once
// SQL instance discovery for the instance-choice dialog: the instances that
// SQL-DMO and the registry know, offered as temporary ComboBox rows with the
// preferred one preselected (EnumerateSQLInstances), and the split of the
// chosen name into server and instance (ParseSQLInstanceName).
#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

namespace ondex::sql {

// {100202C1-E260-11CF-AE68-00AA004A34D5} and {10020205-E260-11CF-AE68-00AA004A34D5}.
inline constexpr CLSID kClsidDmoServer = {0x100202C1, 0xE260, 0x11CF, {0xAE, 0x68, 0x00, 0xAA, 0x00, 0x4A, 0x34, 0xD5}};
inline constexpr IID kIidDmoServer = {0x10020205, 0xE260, 0x11CF, {0xAE, 0x68, 0x00, 0xAA, 0x00, 0x4A, 0x34, 0xD5}};

inline constexpr wchar_t kInstanceNamesKey[] = L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL";
inline constexpr wchar_t kSqlServerKey[] = L"SOFTWARE\\Microsoft\\Microsoft SQL Server";

// This computer's name (at most 31 characters), empty when it cannot be read.
std::wstring LocalComputerName();

// The instances SQL-DMO lists, named through IDispatch so that no guessed
// vtable slot is called; empty when COM or SQL-DMO is missing. Never throws.
std::vector<std::wstring> EnumSqlServerInstanceNames();

// Appends the registry's instances and logs each; throws CWinEExc on a
// registry error other than a missing key.
void EnumSQLInstReg(std::vector<std::wstring>& instances, MSIHANDLE hInstall);

void EnumerateSQLInstancesImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void ParseSQLInstanceNameImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::sql
