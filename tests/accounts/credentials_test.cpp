// The credential checks in real sessions: Wine resolves the running user and
// opens the policy for real; the logon, the name translation, the logon right
// and the pauses between tries are scripted through the seam.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "accounts/credentials.h"
#include "exports/exports.h"
#include "runtime/tracer.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"(bad SID)";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

std::wstring RunningUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256] = {};
    DWORD size = sizeof buffer;
    GetTokenInformation(token, TokenUser, buffer, size, &size);
    CloseHandle(token);
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

std::wstring UserName() {
    wchar_t name[256] = L"";
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
}

struct Logon {
    std::wstring account, domain, password;
    DWORD type, provider;
    bool operator==(const Logon&) const = default;
};

// The scripted calls of one test; a logon with the script used up succeeds.
struct AccountSeam {
    static inline AccountSeam* current = nullptr;
    ScopedApiOverride override;
    std::deque<DWORD> logonErrors;
    std::vector<Logon> logons;
    Lines grants;  // "SID right" per added right
    std::vector<DWORD> pauses;
    std::optional<std::wstring> principal;  // the translation gives this principal name
    bool translationFailsAfterLength = false;

    AccountSeam() {
        current = this;
        override.api().LogonUserW = [](LPCWSTR account, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                                       PHANDLE token) -> BOOL {
            auto& self = *current;
            self.logons.push_back({account, domain ? domain : L"(null)", password, type, provider});
            const DWORD error = self.logonErrors.empty() ? 0 : self.logonErrors.front();
            if (!self.logonErrors.empty()) self.logonErrors.pop_front();
            if (error) return SetLastError(error), FALSE;
            return DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), token, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS);
        };
        override.api().LsaAddAccountRights = [](LSA_HANDLE, PSID sid, PLSA_UNICODE_STRING rights, ULONG count) -> NTSTATUS {
            for (ULONG i = 0; i < count; ++i)
                current->grants.push_back(SidText(sid) + L" " +
                                          std::wstring(rights[i].Buffer, rights[i].Length / sizeof(wchar_t)));
            return 0;
        };
        override.api().Sleep = [](DWORD ms) { current->pauses.push_back(ms); };
    }
    ~AccountSeam() { current = nullptr; }

    // The translation reports a length, then gives the principal name or fails.
    void TranslatesTo(std::wstring name, bool failsAfterLength = false) {
        principal = std::move(name);
        translationFailsAfterLength = failsAfterLength;
        override.api().TranslateNameW = [](LPCWSTR, EXTENDED_NAME_FORMAT from, EXTENDED_NAME_FORMAT to, LPWSTR buffer,
                                           PULONG length) -> BOOLEAN {
            auto& self = *current;
            if (from != NameSamCompatible || to != NameUserPrincipal) return SetLastError(87), FALSE;
            const auto needed = static_cast<ULONG>(self.principal->size() + 1);
            if (!buffer) return *length = needed, SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
            if (self.translationFailsAfterLength || *length < needed) return SetLastError(1332), FALSE;
            wcscpy(buffer, self.principal->c_str());
            return TRUE;
        };
    }
};

struct Credentials : testing::Test {
    AccountSeam seam;
    TestPackage package;
    LogCapture log;
    const std::wstring user = UserName(), computer = ComputerName();
    const std::wstring grantedRight = RunningUserSid() + L" SeServiceLogonRight";

    Logon ServiceLogon(const std::wstring& account, const std::wstring& domain, const std::wstring& password = L"pw") {
        return {account, domain, password, LOGON32_LOGON_SERVICE, LOGON32_PROVIDER_DEFAULT};
    }
    std::wstring Check(const std::wstring& account, const std::wstring& password = L"pw") {
        package.Set(L"CREDUIACCOUNTNAME", account);
        package.Set(L"CREDUIPASSWORD", password);
        EXPECT_EQ(0u, CheckCredentials(package.Session()));
        return package.Get(L"CredUIDialogCheckAccountResult");
    }
};

}  // namespace

TEST_F(Credentials, EveryLogonErrorHasItsVerdict) {
    const struct { DWORD error; const wchar_t* verdict; } cases[] = {
        {0, L"OK"},
        {1326, L"NO_ACCOUNT_SERVICE_RIGHTS"},
        {1311, L"NO_LOGON_SERVERS"},
        {1330, L"PASSWORD_EXPIRED"},
        {1789, L"DOMAIN_ACCESS_FAILED"},
        {1907, L"PASSWORD_MUST_CHANGE"},
        {ERROR_ACCESS_DENIED, L"UNKNOWN_ERROR"},
    };
    for (const auto& c : cases) {
        seam.logonErrors = {c.error};
        seam.logons.clear();
        seam.grants.clear();
        EXPECT_EQ(c.verdict, Check(user)) << c.error;
        EXPECT_EQ(std::vector<Logon>{ServiceLogon(user, L".")}, seam.logons) << c.error;
        EXPECT_EQ(Lines{grantedRight}, seam.grants) << c.error;
    }
    EXPECT_EQ(ondex::runtime::FormatErrMessage(ERROR_ACCESS_DENIED, L"LogonUser"), package.Get(L"CredUIDialogCheckAccountErrorText"));
    EXPECT_TRUE(seam.pauses.empty());
}

TEST_F(Credentials, ServiceRightRefusedIsTriedFiveTimesMoreWithTheRightGrantedAgain) {
    const struct { std::deque<DWORD> errors; const wchar_t* verdict; size_t tries, pauses; } cases[] = {
        {{1385, 1385, 0}, L"OK", 3, 1},
        {{1385, 1385, 1385, 1385, 1385, 1385}, L"NO_LOGON_AS_SERVICE", 6, 5},
    };
    for (const auto& c : cases) {
        seam.logonErrors = c.errors;
        seam.logons.clear();
        seam.grants.clear();
        seam.pauses.clear();
        EXPECT_EQ(c.verdict, Check(user));
        EXPECT_EQ(c.tries, seam.logons.size());
        EXPECT_EQ(Lines(c.tries, grantedRight), seam.grants);
        EXPECT_EQ(std::vector<DWORD>(c.pauses, 1000), seam.pauses);
    }
}

TEST_F(Credentials, NameFormsOfTheDialogCheck) {
    EXPECT_EQ(L"OK", Check(L"LOCALHOST\\" + user));
    EXPECT_EQ(computer + L"\\" + user, package.Get(L"CREDUIACCOUNTNAME"));
    EXPECT_EQ(ServiceLogon(user, computer), seam.logons.back());
    EXPECT_EQ(Lines{grantedRight}, seam.grants);

    EXPECT_EQ(L"OK", Check(user));
    EXPECT_EQ(computer + L"\\" + user, package.Get(L"CREDUIACCOUNTNAME"));
    EXPECT_EQ(ServiceLogon(user, L"."), seam.logons.back());

    seam.TranslatesTo(L"svc@ondex.test");
    EXPECT_EQ(L"OK", Check(L"ONDEX\\svc"));
    EXPECT_EQ(ServiceLogon(L"svc@ondex.test", L"(null)"), seam.logons.back());
    EXPECT_EQ(L"ONDEX\\svc", package.Get(L"CREDUIACCOUNTNAME"));

    seam.TranslatesTo(L"svc@ondex.test", true);
    seam.logons.clear();
    EXPECT_EQ(L"BAD_ACCOUNTNAME_FORMAT", Check(L"ONDEX\\svc"));
    EXPECT_TRUE(seam.logons.empty());
}

TEST_F(Credentials, EmptyFieldsAndConfirmationEndTheCheckWithoutALogon) {
    package.Set(L"CREDUINEEDCONFIRM", L"yes");
    package.Set(L"CREDUICONFIRM", L"other");
    EXPECT_EQ(L"CONFIRM_NOT_MATCH", Check(user));
    package.Set(L"CREDUINEEDCONFIRM", L"0");
    EXPECT_EQ(L"EMPTY_PASSWORD", Check(L"", L""));
    EXPECT_TRUE(seam.logons.empty());
    EXPECT_TRUE(seam.grants.empty());
}

TEST_F(Credentials, SecondCheckReportsTheSystemTextAndResolvesTheAccountFirst) {
    const auto check2 = [&](const std::wstring& account) {
        package.Set(L"CREDUIACCOUNTNAME", account);
        package.Set(L"CREDUIPASSWORD", L"pw");
        package.Set(L"CredUIDialogCheckAccountResult", L"before");
        package.Set(L"CREDUIERRORTEXT", L"stale");
        EXPECT_EQ(0u, CheckCredentials2(package.Session()));
        return Lines{package.Get(L"CredUIDialogCheckAccountResult"), package.Get(L"CREDUIERRORTEXT")};
    };
    const std::wstring qualified = computer + L"\\" + user;
    seam.logonErrors = {1326};
    EXPECT_EQ((Lines{L"before", SystemErrorText(1326)}), check2(qualified));
    EXPECT_EQ(std::vector<Logon>{ServiceLogon(user, computer)}, seam.logons);

    EXPECT_EQ((Lines{L"OK", L""}), check2(qualified));

    seam.logonErrors = {1385, 1385, 1385, 1385, 1385, 1385};
    EXPECT_EQ((Lines{L"NO_LOGON_AS_SERVICE", SystemErrorText(1385)}), check2(qualified));
    EXPECT_EQ(5u, seam.pauses.size());

    seam.logons.clear();
    EXPECT_EQ((Lines{L"before", SystemErrorText(ERROR_NONE_MAPPED)}), check2(L"NOWHERE\\nobody"));
    EXPECT_TRUE(seam.logons.empty());
}

TEST_F(Credentials, ServiceAccountCodesAndMessages) {
    const auto check = [&](const std::wstring& account, const std::wstring& password) {
        package.Set(L"SERVICEACCOUNT", account);
        package.Set(L"SERVICEPASSWORD", password);
        EXPECT_EQ(0u, CheckSetServiceCredentials(package.Session()));
        return package.Get(L"CheckServiceAccountResultCode") + L" " + package.Get(L"CheckServiceAccountResult");
    };
    EXPECT_EQ(L"1 Blank account name specified", check(L"", L"pw"));
    EXPECT_EQ(L"2 Blank password specified", check(user, L""));
    EXPECT_EQ(L"0 OK", check(computer + L"\\" + user, L"pw"));
    EXPECT_EQ(ServiceLogon(user, computer), seam.logons.back());
    EXPECT_EQ(Lines{grantedRight}, seam.grants);
    seam.logonErrors = {1385};
    EXPECT_EQ(L"4 Invalid login and password pair or account doesn't have rights to run as a service",
              check(user, L"pw"));
    EXPECT_EQ(ServiceLogon(user, L"."), seam.logons.back());
    EXPECT_TRUE(seam.pauses.empty());
    seam.TranslatesTo(L"svc@ondex.test");
    EXPECT_EQ(L"0 OK", check(L"ONDEX\\svc", L"pw"));
    EXPECT_EQ(ServiceLogon(L"svc@ondex.test", L""), seam.logons.back());
    seam.TranslatesTo(L"svc@ondex.test", true);
    EXPECT_EQ(L"3 Account name format is invalid", check(L"ONDEX\\svc", L"pw"));
}

TEST_F(Credentials, LogonRightGoesToTheResolvedAccountOnly) {
    EXPECT_EQ(1u, ondex::accounts::GrantServiceLogonRight(user));
    EXPECT_EQ(0u, ondex::accounts::GrantServiceLogonRight(L"NOWHERE\\nobody"));
    EXPECT_EQ(0u, ondex::accounts::GrantServiceLogonRight(std::wstring(600, L'x')));
    EXPECT_EQ(Lines{grantedRight}, seam.grants);
}
