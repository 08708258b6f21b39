#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "accounts/account_names_text.h"

using namespace ondex::accounts;

TEST(AccountNamesText, LocalhostPrefixBecomesTheComputerName) {
    const struct { const wchar_t* account; std::optional<std::wstring> replaced; } cases[] = {
        {L"LocalHost\\svc", L"PC\\svc"},
        {L"localhost\\", L"PC\\"},
        {L"localhost", std::nullopt},
        {L"localhostx\\svc", std::nullopt},
        {L" localhost\\svc", std::nullopt},
        {L"LOCALHOST\u0130\\svc", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(c.replaced, ReplaceLocalhostPrefix(c.account, L"PC")) << c.account;
}

TEST(AccountNamesText, LogonNamesByCheckAndTranslation) {
    using P = PrincipalName;
    const P none{P::NoLength, {}}, upn{P::Translated, L"svc@ondex.test"};
    const struct {
        CheckKind kind; const wchar_t* account; PrincipalName principal;
        const wchar_t* logonAccount; std::optional<std::wstring> domain; const wchar_t* grant;
        std::optional<std::wstring> shown;
    } cases[] = {
        {CheckKind::Dialog, L"ONDEX\\svc", none, L"svc", L"ONDEX", L"ONDEX\\svc", std::nullopt},
        {CheckKind::Dialog, L"svc", none, L"svc", L".", L".\\svc", L"PC\\svc"},
        {CheckKind::Dialog, L"A\\b\\c", none, L"b\\c", L"A", L"A\\b\\c", std::nullopt},
        {CheckKind::Dialog, L"\\svc", none, L"svc", L"", L"svc", std::nullopt},
        {CheckKind::Dialog, L"ONDEX\\svc", upn, L"svc@ondex.test", std::nullopt, L"svc@ondex.test", std::nullopt},
        {CheckKind::Service, L"ONDEX\\svc", none, L"svc", L"ONDEX", L"svc", std::nullopt},
        {CheckKind::Service, L"svc", none, L"svc", L".", L"svc", std::nullopt},
        {CheckKind::Service, L"ONDEX\\svc", upn, L"svc@ondex.test", L"", L"svc@ondex.test", std::nullopt},
    };
    for (const auto& c : cases) {
        const LogonName name = DeriveLogonName(c.kind, c.account, c.principal, L"PC");
        EXPECT_FALSE(name.badFormat);
        EXPECT_EQ(c.logonAccount, name.account) << c.account;
        EXPECT_EQ(c.domain, name.domain) << c.account;
        EXPECT_EQ(c.grant, name.grantName) << c.account;
        EXPECT_EQ(c.shown, name.qualifiedShown) << c.account;
    }
    EXPECT_TRUE(DeriveLogonName(CheckKind::Dialog, L"svc", {P::Failed, {}}, L"PC").badFormat);
}

TEST(AccountNamesText, EmptyFieldsAndConfirmationLaterVerdictWins) {
    const struct { const wchar_t *account, *password, *confirm, *need, *verdict; } cases[] = {
        {L"", L"pw", L"pw", L"", L"EMPTY_ACCOUNT_NAME"},
        {L"", L"", L"", L"", L"EMPTY_PASSWORD"},
        {L"a", L"pw", L"PW", L"yes", L"CONFIRM_NOT_MATCH"},
        {L"", L"pw", L"x", L"1", L"CONFIRM_NOT_MATCH"},
        {L"a", L"pw", L"x", L"0", nullptr},
        {L"a", L"pw", L"x", L"", nullptr},
        {L"a", L"pw", L"x", L"11", nullptr},
        {L"a", L"pw", L"pw", L"YES", nullptr},
    };
    for (const auto& c : cases) {
        const wchar_t* verdict = DialogInputVerdict(c.account, c.password, c.confirm, c.need);
        EXPECT_EQ(c.verdict ? std::wstring(c.verdict) : L"(none)", verdict ? std::wstring(verdict) : L"(none)")
            << c.account << "|" << c.password << "|" << c.confirm << "|" << c.need;
    }
}

TEST(AccountNamesText, ServiceInputCodes) {
    EXPECT_EQ(kServiceOk, ServiceInputCode(L"a", L"p"));
    EXPECT_EQ(kBlankAccount, ServiceInputCode(L"", L"p"));
    EXPECT_EQ(kBlankPassword, ServiceInputCode(L"a", L""));
    EXPECT_EQ(kBlankPassword, ServiceInputCode(L"", L""));
    EXPECT_STREQ(L"Unknown failure during checking service credentials", ServiceAccountMessage(kUnknownFailure));
    EXPECT_STREQ(L"Unknown failure during checking service credentials", ServiceAccountMessage(-1));
}
