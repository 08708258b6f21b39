// The account choice in real sessions: the local users from Wine's own list
// or a scripted one, the running user from the system, the object picker as
// an in-process double and the name translation scripted through the seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accounts/account_select.h"
#include "accounts/dialog_screen.h"
#include "accounts/objsel_double.h"
#include "support/package.h"
#include "support/seam_faults.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

struct AccountChoice : testing::Test {
    const std::wstring computer = ComputerName();
    const std::wstring runningUser = computer + L"\\root";  // what Wine reports
    TestPackage package;
    ScopedApiOverride api;

    AccountChoice() {
        package.Table(L"ComboBox")
            .Property(L"CREDUIACCOUNTNAME", L"before").Property(L"CREDUIPASSWORD", L"pw")
            .Property(L"CREDUICONFIRM", L"pw");
    }
    Lines Rows(const wchar_t* column = L"Value") {
        return package.Column(std::wstring(L"SELECT `") + column +
                              L"` FROM `ComboBox` WHERE `Property`='CREDUIACCOUNTNAME' ORDER BY `Order`");
    }
};

// ---- PopulateUserAccounts ----

struct NetUsers {
    NET_API_STATUS status = NERR_Success;
    std::vector<std::pair<std::wstring, DWORD>> users;  // name, flags
};
const NetUsers* g_netUsers = nullptr;

NET_API_STATUS WINAPI ScriptedUsers(LPCWSTR, DWORD, DWORD, DWORD, DWORD, LPDWORD count, PVOID* buffer) {
    const auto& users = g_netUsers->users;
    size_t bytes = users.size() * sizeof(NET_DISPLAY_USER);
    for (const auto& user : users) bytes += (user.first.size() + 1) * sizeof(wchar_t);
    NetApiBufferAllocate(static_cast<DWORD>(bytes ? bytes : 1), buffer);
    auto* entries = static_cast<NET_DISPLAY_USER*>(*buffer);
    auto* text = reinterpret_cast<wchar_t*>(entries + users.size());
    for (const auto& [name, flags] : users) {
        *entries++ = NET_DISPLAY_USER{wcscpy(text, name.c_str()), nullptr, flags, nullptr, 0, 0};
        text += name.size() + 1;
    }
    *count = static_cast<DWORD>(users.size());
    return g_netUsers->status;
}

struct PopulateCase {
    const char* name;
    NetUsers listed;
    Lines rows;  // user names, computer-qualified by the test
};

constexpr DWORD kEnabled = UF_NORMAL_ACCOUNT;

void PrintTo(const PopulateCase& c, std::ostream* out) { *out << c.name; }

const PopulateCase kPopulateCases[] = {
    {"TheRunningUserMissingFromTheListComesFirst",
     {NERR_Success, {{L"Administrator", kEnabled}, {L"svc", kEnabled}}}, {L"root", L"Administrator", L"svc"}},
    {"TheRunningUserListedInOtherCaseIsNotAddedAgain", {NERR_Success, {{L"ROOT", kEnabled}}}, {L"ROOT"}},
    {"AFailedQueryOffersTheRunningUserAlone", {ERROR_ACCESS_DENIED, {{L"svc", kEnabled}}}, {L"root"}},
    {"MoreEntriesWaitingUsesTheFirstPage", {ERROR_MORE_DATA, {{L"svc", kEnabled}, {L"root", kEnabled}}},
     {L"svc", L"root"}},
};

struct PopulateAccounts : AccountChoice, testing::WithParamInterface<PopulateCase> {};

}  // namespace

TEST_F(AccountChoice, PopulateOffersWinesEnabledUsersAndPreselectsTheRunningUser) {
    EXPECT_EQ(0u, PopulateUserAccounts(package.Session()));
    EXPECT_EQ((Lines{runningUser, computer + L"\\Administrator"}), Rows());  // Guest is disabled
    EXPECT_EQ((Lines{L"1", L"2"}), Rows(L"Order"));
    EXPECT_EQ(runningUser, package.Get(L"CREDUIACCOUNTNAME"));
    EXPECT_EQ(L"Enumerating user accounts", package.Get(L"CURRENTACTIONTEXT"));
}

TEST_P(PopulateAccounts, OffersTheRowsInOrder) {
    g_netUsers = &GetParam().listed;
    api.api().NetQueryDisplayInformation = &ScriptedUsers;
    EXPECT_EQ(0u, PopulateUserAccounts(package.Session()));
    Lines expected;
    for (const std::wstring& user : GetParam().rows) expected.push_back(computer + L"\\" + user);
    EXPECT_EQ(expected, Rows());
    EXPECT_EQ(runningUser, package.Get(L"CREDUIACCOUNTNAME"));
}

INSTANTIATE_TEST_SUITE_P(Lists, PopulateAccounts, testing::ValuesIn(kPopulateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- DoObjSelDlg ----

namespace {

struct Translation {
    std::wstring answer;  // empty: the translation fails, as in Wine
    std::vector<std::pair<std::wstring, EXTENDED_NAME_FORMAT>> asked;
};
Translation* g_translation = nullptr;

BOOLEAN SEC_ENTRY ScriptedTranslate(LPCWSTR name, EXTENDED_NAME_FORMAT from, EXTENDED_NAME_FORMAT to, LPWSTR out,
                                    PULONG size) {
    g_translation->asked.emplace_back(name, from);
    const std::wstring& answer = g_translation->answer;
    if (to != NameSamCompatible || answer.empty() || *size <= answer.size()) {
        SetLastError(answer.empty() ? ERROR_NO_SUCH_DOMAIN : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wcscpy(out, answer.c_str());
    *size = static_cast<ULONG>(answer.size() + 1);
    return TRUE;
}

struct Picking : AccountChoice {
    ObjSelDouble picker;
    Translation translation;

    Picking() {
        g_translation = &translation;
        api.api().TranslateNameW = &ScriptedTranslate;
        package.Property(L"CredUIDialogPickAccountResult", L"none");
    }
    ~Picking() override { EXPECT_EQ(0, ObjSelDouble::Live()); }
    Lines Outcome() {
        return {package.Get(L"CredUIDialogPickAccountResult"), package.Get(L"CREDUIACCOUNTNAME"),
                package.Get(L"CREDUIPASSWORD"), package.Get(L"CREDUICONFIRM")};
    }
    static Lines Cancelled() { return {L"CANCEL", L"before", L"pw", L"pw"}; }
};

}  // namespace

TEST_F(Picking, TheFirstUserOfTheSelectionIsTaken) {
    const struct {
        const char* name;
        std::vector<PickedObject> selection;
        std::wstring translated;
        std::wstring account;  // empty: "CANCEL" and nothing changed
        std::vector<std::pair<std::wstring, EXTENDED_NAME_FORMAT>> asked;
    } cases[] = {
        {"AUserPrincipalNameIsTranslated", {{L"user", L"John", L"john@corp.example", L"LDAP://CN=John,DC=corp"}},
         L"CORP\\john", L"CORP\\john", {{L"john@corp.example", NameUserPrincipal}}},
        {"WithoutAPrincipalNameTheAdsPathIsTranslated", {{L"User", L"John", L"", L"LDAP://CN=John,DC=corp"}},
         L"CORP\\john", L"CORP\\john", {{L"LDAP://CN=John,DC=corp", NameDnsDomain}}},
        {"AnUntranslatedLocalUserIsNamedFromItsWinNTPath", {{L"user", L"jane", L"", L"WinNT://WORKGROUP/PC7/jane"}},
         L"", L"PC7\\jane", {{L"WinNT://WORKGROUP/PC7/jane", NameDnsDomain}}},
        {"ANameTooLongForTheBufferFallsBackToThePath", {{L"user", L"ann", L"", L"WinNT://CORP/ann"}},
         std::wstring(70, L'n'), L"CORP\\ann", {{L"WinNT://CORP/ann", NameDnsDomain}}},
        {"GroupsAndComputersAreSkippedForTheUserAfterThem",
         {{L"group", L"Admins", L"", L"WinNT://CORP/Admins"}, {L"computer", L"PC7", L"", L"WinNT://CORP/PC7"},
          {L"user", L"eve", L"", L"WinNT://CORP/eve"}, {L"user", L"fay", L"", L"WinNT://CORP/fay"}},
         L"", L"CORP\\eve", {{L"WinNT://CORP/eve", NameDnsDomain}, {L"WinNT://CORP/fay", NameDnsDomain}}},
        {"AGroupOrAComputerAloneIsACancel",
         {{L"group", L"Admins", L"", L"WinNT://CORP/Admins"}, {L"computer", L"PC7", L"", L"WinNT://CORP/PC7"}}, L"x",
         L"", {}},
        {"AUserWithoutAnyNameIsACancel", {{L"user", L"", L"", L""}}, L"", L"", {{L"", NameDnsDomain}}},
        {"AnEmptySelectionIsACancel", {}, L"x", L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        package.Set(L"CredUIDialogPickAccountResult", L"none"), package.Set(L"CREDUIACCOUNTNAME", L"before");
        package.Set(L"CREDUIPASSWORD", L"pw"), package.Set(L"CREDUICONFIRM", L"pw");
        picker.selection = c.selection;
        translation = {c.translated, {}};
        EXPECT_EQ(0u, DoObjSelDlg(package.Session()));
        EXPECT_EQ(c.account.empty() ? Cancelled() : (Lines{L"OK", c.account, L"", L""}), Outcome());
        EXPECT_EQ(c.asked, translation.asked);
    }
}

TEST_F(Picking, ThePickerGetsOneUserScopeOverTheInstallerDialog) {
    Screen screen;
    screen.ScriptOn(api.api());
    picker.invokeResult = S_FALSE;
    EXPECT_EQ(0u, DoObjSelDlg(package.Session()));
    EXPECT_EQ(Cancelled(), Outcome());
    const ObjSelRecord& got = picker.received;
    ASSERT_TRUE(got.init && got.scopes.size() == 1);
    EXPECT_EQ(48u, got.init->cbSize);
    EXPECT_EQ(nullptr, got.init->pwzTargetComputer);
    EXPECT_EQ(1u, got.init->cDsScopeInfos);
    EXPECT_EQ(0x2u, got.init->flOptions);  // single selection, no domain-controller check
    EXPECT_EQ(0u, got.init->cAttributesToFetch);
    EXPECT_EQ(nullptr, got.init->apwzAttributeNames);
    const DSOP_SCOPE_INIT_INFO& scope = got.scopes[0];
    EXPECT_EQ((std::vector<ULONG>{56, 0x37F, 0xC3, 0x2, 0x2, 0x2, 0x80000001}),
              (std::vector<ULONG>{scope.cbSize, scope.flType, scope.flScope, scope.FilterFlags.Uplevel.flBothModes,
                                  scope.FilterFlags.Uplevel.flMixedModeOnly, scope.FilterFlags.Uplevel.flNativeModeOnly,
                                  scope.FilterFlags.flDownlevel}));
    EXPECT_EQ(nullptr, scope.pwzDcName);
    EXPECT_EQ(nullptr, scope.pwzADsPath);
    EXPECT_TRUE(got.invoked);
    EXPECT_EQ(Screen::kDialog, got.parent);
}

TEST_F(Picking, APickerThatCannotBeCreatedOrInitialisedIsNeverShown) {
    picker.selection = {{L"user", L"eve", L"", L"WinNT://CORP/eve"}};
    for (const int failing : {1, 2}) {  // the creation, the initialisation
        SeamFaults faults(failing);
        EXPECT_EQ(0u, DoObjSelDlg(package.Session()));
        EXPECT_EQ(Cancelled(), Outcome()) << faults.Failed();
        EXPECT_FALSE(picker.received.invoked);
    }
}

TEST_F(AccountChoice, WinesOwnPickerAnswersCancel) {
    EXPECT_EQ(0u, DoObjSelDlg(package.Session()));
    EXPECT_EQ(L"CANCEL", package.Get(L"CredUIDialogPickAccountResult"));
    EXPECT_EQ(L"before", package.Get(L"CREDUIACCOUNTNAME"));
}
