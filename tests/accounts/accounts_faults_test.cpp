// Every seam call and object picker method of the account actions' main paths
// made to fail in turn.
#include <gtest/gtest.h>

#include <string>

#include "accounts/dialog_screen.h"
#include "accounts/objsel_double.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

// The running user, who resolves, granted the right and logged on, as the
// dialog's account and as the service account.
void RunningUserLogsOn(FaultWorld& w) {
    wchar_t user[256] = L"";
    DWORD chars = 256;
    GetUserNameW(user, &chars);
    const std::wstring account = ComputerName() + L"\\" + user;
    w.package.Property(L"CREDUIACCOUNTNAME", account).Property(L"CREDUIPASSWORD", L"pw");
    w.package.Property(L"SERVICEACCOUNT", account).Property(L"SERVICEPASSWORD", L"pw");
    w.seam.api().Sleep = [](DWORD) {};  // the logon right's retries
    w.seam.api().LsaAddAccountRights = [](LSA_HANDLE, PSID, PLSA_UNICODE_STRING, ULONG) -> NTSTATUS { return 0; };
    w.seam.api().LogonUserW = [](LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE token) -> BOOL {
        return DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), token, 0, FALSE,
                               DUPLICATE_SAME_ACCESS);
    };
}

void PickerWithAUser(FaultWorld& w) {
    w.package.Property(L"CREDUIACCOUNTNAME", L"before");
    w.Make<ObjSelDouble>().selection = {{L"user", L"eve", L"", L"WinNT://CORP/eve"}};
}

void DialogWithTwoFields(FaultWorld& w) {
    w.Make<Screen>().ScriptOn(w.seam.api());
    w.package.Property(L"CREDUIPASSWORD", L"first").Property(L"CREDUICONFIRM", L"second");
}

const FaultScenario kScenarios[] = {
    {"CheckCredentials", CheckCredentials, RunningUserLogsOn, {}},
    {"CheckCredentials2", CheckCredentials2, RunningUserLogsOn, {}},
    {"CheckSetServiceCredentials", CheckSetServiceCredentials, RunningUserLogsOn, {}},
    {"PopulateUserAccounts", PopulateUserAccounts, [](FaultWorld& w) { w.package.Table(L"ComboBox"); }, {}},
    {"DoObjSelDlg", DoObjSelDlg, PickerWithAUser, {}},
    {"UpdateCredUIControls", UpdateCredUIControls, DialogWithTwoFields, {}},
    {"StoreCredentials", StoreCredentials,
     [](FaultWorld& w) {
         w.package.Property(L"CREDUIACCOUNTNAME", L"CORP\\svc").Property(L"CREDUIPASSWORD", L"pw");
     },
     {}},
    {"LookAccountSid", LookAccountSid,
     [](FaultWorld& w) { w.package.Property(L"LookAccountSidSID", L"S-1-5-18"); }, {}},
    {"LookAccountName", LookAccountName,
     [](FaultWorld& w) { w.package.Property(L"LookAccountUser", L"Administrators"); }, {}},
};

}  // namespace

TEST(AccountsFaults, EverySeamCallAndPickerMethodOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
