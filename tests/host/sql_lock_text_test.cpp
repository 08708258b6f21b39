#include <gtest/gtest.h>

#include <string>

#include "sql/sql_lock_text.h"

using namespace ondex::sql;

TEST(SqlLockText, EscapingKeepsEveryCharacterInsideTheLiteral) {
    const struct { const wchar_t *text, *escaped; } cases[] = {
        {L"", L""},
        {L"O'Brien", L"O''Brien"},
        {L"''", L"''''"},
        {L"a\tb", L"a' + CHAR(9) + 'b"},
        {L"line1\r\nline2", L"line1' + CHAR(13) +  CHAR(10) + 'line2"},
        {L"\r", L""},
        {L"\n'\t", L"' + CHAR(13) +  CHAR(10) + '''' + CHAR(9) + '"},
        {L"plain; -- text\u00e9", L"plain; -- text\u00e9"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.escaped, escapeSqlString(c.text)) << c.text;
}

TEST(SqlLockText, LockTimeIsZeroPaddedIsoText) {
    const struct { LockTime time; const wchar_t* text; } cases[] = {
        {{2024, 3, 5, 7, 8, 9}, L"2024-03-05T07:08:09"},
        {{1999, 12, 31, 23, 59, 59}, L"1999-12-31T23:59:59"},
        {{2000, 1, 1, 0, 0, 0}, L"2000-01-01T00:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, LockTimeText(c.time));
}

TEST(SqlLockText, QueryAndDataSource) {
    EXPECT_EQ(L"SELECT name FROM sysdatabases WHERE name='Ondex'", DatabaseExistsQuery(L"Ondex"));
    EXPECT_EQ(L"SRV", DataSourceText(L"SRV", L""));
    EXPECT_EQ(L"SRV\\ONDEX", DataSourceText(L"SRV", L"ONDEX"));
}

TEST(SqlLockText, AuthenticationChoice) {
    const struct { const wchar_t* value; bool integrated, recognised; } cases[] = {
        {L"0", true, true}, {L"1", false, true}, {L"", true, false}, {L"2", true, false}, {L"1 ", true, false},
    };
    for (const auto& c : cases) {
        const AuthenticationChoice choice = ChooseAuthentication(c.value);
        EXPECT_EQ(c.integrated, choice.integrated) << c.value;
        EXPECT_EQ(c.recognised, choice.recognised) << c.value;
    }
}

TEST(SqlLockText, StatusPairs) {
    const struct { int status; const wchar_t *code, *text; } cases[] = {
        {0, L"OK", L"ok text"},
        {3, L"3", L"Unknown status"},
        {5, L"E_INACCESSIBLEDB", L"no access text"},
        {16, L"S_DBEXISTS", L"Database Ondex already exists on SQL Instance"},
        {48, L"S_DBLOCKED", L"S_DATABASELOCKED"},
        {32, L"32", L"Unknown status"},
    };
    for (const auto& c : cases) {
        const StatusPair pair = CheckStatusPair(c.status, L"Ondex", L"ok text", L"no access text");
        EXPECT_EQ(c.code, pair.code) << c.status;
        EXPECT_EQ(c.text, pair.text) << c.status;
    }
}
