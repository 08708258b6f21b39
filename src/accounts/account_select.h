#pragma once
// The account choice of the credential dialog: the local computer's enabled
// users offered as temporary ComboBox rows with the running user preselected
// (PopulateUserAccounts), and the system's object picker over the installer
// dialog (DoObjSelDlg).
#include <windows.h>
#include <msi.h>
#include <objsel.h>

#include <optional>
#include <string>
#include <vector>

namespace ondex::accounts {

// The dialog's account property; its ComboBox rows are keyed by it.
inline constexpr wchar_t kAccountProperty[] = L"CREDUIACCOUNTNAME";
// The installer dialog's window class.
inline constexpr wchar_t kInstallerDialogClass[] = L"MsiDialogCloseClass";

// The enabled local users as COMPUTER\user, in the order the system lists them.
std::vector<std::wstring> EnumerateLocalUsers();

// The running user as the system's SAM-compatible name, or nothing.
std::optional<std::wstring> GetCurrentUserEntry();

// Initialises the picker for one user from any scope but a workgroup; the
// answer of its Initialize.
HRESULT initObjectPicker(IDsObjectPicker* picker);

// Shows the picker and returns the first user chosen, or nothing. The
// caller has initialised COM.
std::optional<std::wstring> PickUserAccount();

void PopulateUserAccountsImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void DoObjSelDlgImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::accounts
