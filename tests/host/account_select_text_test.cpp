#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accounts/account_select_text.h"

using namespace ondex::accounts;
using Names = std::vector<std::wstring>;

namespace {

// Stands in for the system's folding: ASCII and one pair beyond it.
wchar_t TestFold(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    return c == L'\u00e4' ? L'\u00c4' : c;
}

}  // namespace

TEST(AccountSelectText, WinNTPathsSplitAtTheirLastTwoSlashes) {
    const struct { const wchar_t *path, *user, *container; } cases[] = {
        {L"WinNT://CORP/bob", L"bob", L"CORP"},
        {L"WinNT://WORKGROUP/PC7/jane", L"jane", L"PC7"},
        {L"WinNT://bob", L"bob", L""},
        {L"WinNT://CORP/bob/", L"", L"bob"},
        {L"/bob", L"bob", L""},
        {L"bob", L"bob", L""},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        const WinNTPathParts parts = ParseWinNTPath(c.path);
        EXPECT_EQ((Names{c.user, c.container}), (Names{parts.user, parts.container})) << c.path;
    }
}

TEST(AccountSelectText, AnUntranslatedUserIsNamedFromItsPath) {
    const std::wstring longUser(80, L'u');
    const struct { std::wstring path, name; } cases[] = {
        {L"WinNT://WORKGROUP/PC7/jane", L"PC7\\jane"},
        {L"wInNt://CORP/bob", L"CORP\\bob"},
        {L"WinNT:/CORP/bob", L"WinNT:/CORP/bob"},  // not a WinNT path: taken as it is
        {L"LDAP://CN=bob,DC=corp", L"LDAP://CN=bob,DC=corp"},
        {L"WinNT://CORP/" + longUser, (L"CORP\\" + longUser).substr(0, 63)},
        {L"LDAP://" + longUser, (L"LDAP://" + longUser).substr(0, 63)},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.name, UntranslatedAccountName(c.path)) << c.path;
}

TEST(AccountSelectText, OnlyTheTwoSpellingsOfUserAreUsers) {
    for (const wchar_t* kind : {L"user", L"User"}) EXPECT_TRUE(IsUserClass(kind)) << kind;
    for (const wchar_t* kind : {L"USER", L"group", L"computer", L"users", L""}) EXPECT_FALSE(IsUserClass(kind)) << kind;
}

TEST(AccountSelectText, TheRunningUserComesFirstUnlessListedInAnyCase) {
    const struct { Names listed; std::wstring current; Names offered; } cases[] = {
        {{L"PC\\a", L"PC\\b"}, L"CORP\\me", {L"CORP\\me", L"PC\\a", L"PC\\b"}},
        {{L"PC\\a", L"PC\\ME"}, L"pc\\me", {L"PC\\a", L"PC\\ME"}},
        {{L"PC\\\u00c4rger"}, L"PC\\\u00e4rger", {L"PC\\\u00c4rger"}},  // folded beyond ASCII
        {{L"PC\\me2"}, L"PC\\me", {L"PC\\me", L"PC\\me2"}},
        {{L"PC\\a"}, L"", {L"PC\\a"}},  // an unknown running user is not offered
    };
    for (const auto& c : cases) {
        Names offered = c.listed;
        PutCurrentUserFirst(offered, c.current, &TestFold);
        EXPECT_EQ(c.offered, offered) << c.current;
    }
}
