#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/sql_instances_text.h"

using namespace ondex::sql;
using Names = std::vector<std::wstring>;

TEST(SqlInstancesText, DiscoveredNamesTakeTheLocalhostForms) {
    const struct { const wchar_t *item, *entry; } dmo[] = {
        {L"ONDEXBOX\\SQLEXPRESS", L"localhost\\SQLEXPRESS"},
        {L"ondexbox\\A\\B", L"localhost\\A\\B"},
        {L"ONDEXBOX", L"ONDEXBOX"},                   // a default instance stays as reported
        {L"OTHER\\SQLEXPRESS", L"OTHER\\SQLEXPRESS"},
        {L"ONDEXBOX2\\X", L"ONDEXBOX2\\X"},           // not the same length
    };
    for (const auto& c : dmo) EXPECT_EQ(c.entry, DmoEntry(c.item, L"OndexBox")) << c.item;
    EXPECT_EQ(L"(local)", RegistryEntry(L"MSSQLSERVER"));
    EXPECT_EQ(L"localhost\\mssqlserver", RegistryEntry(L"mssqlserver"));
}

TEST(SqlInstancesText, KeysNamesAndLevels) {
    const struct { const wchar_t* entry; const wchar_t* shown; int level; } cases[] = {
        {L"(local)", L"BOX", 2},
        {L"(LOCAL)", L"(LOCAL)", 2},
        {L"localhost", L"BOX", 2},
        {L"LocalHost\\SqlExpress", L"LocalHost\\SqlExpress", 3},
        {L"localhost\\ONDEXSQLSERVER", L"BOX\\ONDEXSQLSERVER", 4},
        {L"localhost\\ONDEX", L"BOX\\ONDEX", 5},
        {L"localhost\\ONDEXSQL2008", L"BOX\\ONDEXSQL2008", 6},
        {L"localhost\\ondexsql2008r2", L"BOX\\ondexsql2008r2", 7},
        {L"localhost\\ONDEX2", L"BOX\\ONDEX2", 1},
        {L"localhost\\(local)", L"BOX\\BOX", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, DisplayName(c.entry, L"BOX")) << c.entry;
        EXPECT_EQ(c.level, PreferenceLevel(ComparisonKey(c.entry))) << c.entry;
    }
}

TEST(SqlInstancesText, SortIsOrdinalAndDropsExactDuplicates) {
    Names entries{L"localhost\\b", L"localhost\\B", L"(local)", L"localhost\\b", L"localhost", L"localhost\\"};
    SortUnique(entries);
    EXPECT_EQ((Names{L"(local)", L"localhost", L"localhost\\", L"localhost\\B", L"localhost\\b"}), entries);
}

TEST(SqlInstancesText, InstanceNameSplitsAtTheLastBackslash) {
    const struct { std::wstring value; const wchar_t *server, *instance; } cases[] = {
        {L"localhost\\SQLEXPRESS", L"(local)", L"SQLEXPRESS"},
        {L"SRV\\A\\B", L"SRV\\A", L"B"},
        {L"ONDEX", L"(local)", L"ONDEX"},
        {L"LOCALHOST\\X", L"LOCALHOST", L"X"},
        {L"", L"(local)", L""},
        {std::wstring(70, L'a') + L"\\X", L"(local)", nullptr},  // cut to 63 characters: no backslash left
    };
    for (const auto& c : cases) {
        const InstanceParts parts = SplitInstanceName(c.value);
        EXPECT_EQ(c.server, parts.server) << c.value;
        EXPECT_EQ(c.instance ? std::wstring(c.instance) : std::wstring(63, L'a'), parts.instance) << c.value;
    }
}
