// The dialog's field refresh, the hand-over to the service account and the
// two lookups in real sessions: Wine's own account database, the installer
// dialog's window and edit fields scripted through the seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accounts/dialog_screen.h"
#include "accounts/objsel_double.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

// ---- UpdateCredUIControls ----

struct CredentialDialog : testing::Test {
    TestPackage package;
    ScopedApiOverride api;
    Screen screen;

    CredentialDialog() {
        screen.ScriptOn(api.api());
        package.Property(L"CREDUIPASSWORD", L"first").Property(L"CREDUICONFIRM", L"second");
    }
};

}  // namespace

TEST_F(CredentialDialog, EachFieldsTextIsSelectedAndReplaced) {
    const struct { const char* name; bool dialog; int edits; Lines sent; } cases[] = {
        {"both fields get their values", true, 3, {L"1:177:0:-1", L"1:194:0:first", L"2:177:0:-1", L"2:194:0:second"}},
        {"a single field gets the password", true, 1, {L"1:177:0:-1", L"1:194:0:first"}},
        {"no dialog, no message", false, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        screen.dialog = c.dialog;
        screen.edits = c.edits;
        screen.sent.clear();
        EXPECT_EQ(0u, UpdateCredUIControls(package.Session()));
        EXPECT_EQ(c.sent, screen.sent);
    }
}

TEST_F(CredentialDialog, APickEmptiesBothPasswordsInThePropertiesAndOnTheScreen) {
    ObjSelDouble picker;
    picker.selection = {{L"user", L"eve", L"", L"WinNT://CORP/eve"}};
    EXPECT_EQ(0u, DoObjSelDlg(package.Session()));
    EXPECT_EQ(L"CORP\\eve", package.Get(L"CREDUIACCOUNTNAME"));
    EXPECT_EQ(0u, UpdateCredUIControls(package.Session()));
    EXPECT_EQ((Lines{L"1:177:0:-1", L"1:194:0:", L"2:177:0:-1", L"2:194:0:"}), screen.sent);
}

TEST_F(CredentialDialog, StoreCredentialsHandsTheAccountAndPasswordToTheService) {
    package.Property(L"CREDUIACCOUNTNAME", L"CORP\\svc").Property(L"SERVICEACCOUNT", L"old");
    EXPECT_EQ(0u, StoreCredentials(package.Session()));
    EXPECT_EQ((Lines{L"CORP\\svc", L"first"}),
              (Lines{package.Get(L"SERVICEACCOUNT"), package.Get(L"SERVICEPASSWORD")}));
}

// ---- LookAccountSid and LookAccountName against Wine's accounts ----

TEST(AccountLookup, SidGivesTheNamesOrTheSystemsErrorText) {
    const struct {
        const char* name;
        std::wstring sid;
        Lines outcome;  // account, domain, result; an error's domain is the system's text for it
        DWORD error = 0;
    } cases[] = {
        {"the local system account", L"S-1-5-18", {L"SYSTEM", L"NT AUTHORITY", L"OK"}},
        {"a malformed SID", L"S-1-x-18", {L"kept", L"", L"ERROR"}, ERROR_INVALID_SID},
        {"a name instead of a SID", L"Administrators", {L"kept", L"", L"ERROR"}, ERROR_INVALID_SID},
        // Wine reads the overflowing number (Windows refuses it); no account has it.
        {"a very long SID", L"S-1-5-21-" + std::wstring(600, L'1'), {L"kept", L"", L"ERROR"}, ERROR_NONE_MAPPED},
        {"an unknown account", L"S-1-5-21-1-2-3-4242", {L"kept", L"", L"ERROR"}, ERROR_NONE_MAPPED},
    };
    TestPackage package;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        package.Set(L"LookAccountSidSID", c.sid);
        package.Set(L"LookAccountSidACCOUNT", L"kept");
        EXPECT_EQ(0u, LookAccountSid(package.Session()));
        Lines expected = c.outcome;
        if (c.error) expected[1] = SystemErrorText(c.error);
        EXPECT_EQ(expected, (Lines{package.Get(L"LookAccountSidACCOUNT"), package.Get(L"LookAccountSidDOMAIN"),
                                   package.Get(L"LookAccountSidRESULT")}));
    }
}

TEST(AccountLookup, NameGivesTheStringSidOrLogsWhyNot) {
    const struct {
        const char* name;
        std::wstring user;
        std::wstring sid;   // expected result
        std::wstring line;  // the start of the logged line, empty for none
    } cases[] = {
        {"a builtin group", L"Administrators", L"S-1-5-32-544", L""},
        {"an unknown account", L"NoSuchUser", L"", L"GetSidByName failed.: (0x534): "},
        {"a very long name", std::wstring(600, L'u'), L"", L"GetSidByName failed.: (0x"},
        {"an empty name", L"", L"", L"PROPERTY LookAccountUser is empty."},
    };
    TestPackage package;
    LogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        package.Set(L"LookAccountUser", c.user);
        package.Set(L"LookAccountNameResult", L"stale");
        log.Clear();
        EXPECT_EQ(0u, LookAccountName(package.Session()));
        EXPECT_EQ(c.sid, package.Get(L"LookAccountNameResult"));
        const Lines lines = log.TimestampedLines();
        if (c.line.empty()) {
            EXPECT_EQ(Lines{}, lines);
        } else {
            ASSERT_EQ(1u, lines.size());
            EXPECT_EQ(0u, lines[0].rfind(c.line, 0)) << lines[0];
        }
    }
}

// ---- No password reaches a log or trace line ----

TEST(AccountActions, NoPasswordReachesTheLogOrTheTraceFileWithEveryTraceScopeOn) {
    const std::wstring secret = L"Cred1Passw0rdPlanted";
    EveryTraceOn trace;
    for (UINT(__stdcall * action)(MSIHANDLE) :
         {PopulateUserAccounts, DoObjSelDlg, UpdateCredUIControls, StoreCredentials, LookAccountSid, LookAccountName,
          CheckCredentials, CheckCredentials2, CheckSetServiceCredentials}) {
        TestPackage traced;
        traced.Property(L"CREDUIPASSWORD", secret).Property(L"CREDUICONFIRM", secret)
            .Property(L"SERVICEPASSWORD", secret).Property(L"CREDUIACCOUNTNAME", L"CORP\\svc")
            .Property(L"LookAccountUser", L"root").Property(L"LookAccountSidSID", L"S-1-5-18")
            .Property(L"SERVICEACCOUNT", L"root");
        ObjSelDouble picker;
        picker.selection = {{L"user", L"eve", L"", L"WinNT://CORP/eve"}};
        MessageBoxScript boxes;
        LogCapture log;
        EXPECT_EQ(0u, action(traced.Session()));
        for (const auto& message : log.messages())
            EXPECT_EQ(std::wstring::npos, message.text.find(secret)) << message.text;
        for (const auto& box : boxes.boxes()) EXPECT_EQ(std::wstring::npos, box.text.find(secret)) << box.text;
    }
    const std::string tlk = trace.Text();
    for (const char* line : {"PopulateUserAccounts", "Adding \"", "User selected \"CORP\\eve\"", "Final HR: 0x0",
                             "UpdateCredUIControls", "Now service will run under \"CORP\\svc\" account",
                             "LookAccountSid", "LookAccountName", "Deleting MsiProperty CREDUICONFIRM",
                             "CheckCredentials2", "CHECKING FAILED!", "CHECKING SUCCEEDED!"})
        EXPECT_NE(std::string::npos, tlk.find(line)) << line;
    EXPECT_EQ(std::string::npos, tlk.find("Cred1Passw0rdPlanted"));
}
