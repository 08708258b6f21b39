#include <gtest/gtest.h>

#include <string>

#include "sql/sql_setup_text.h"

using namespace ondex::sql;

namespace {

std::wstring Statement(const std::wstring& display, const std::wstring& attribute) {
    return L"IF NOT EXISTS (Select * from dbo.[Partition] where DefaultAttributeName = '" + attribute +
           L"')BEGIN insert into dbo.[Partition] (name, DefaultAttributeName) values ('" + display + L"', '" +
           attribute + L"') END;";
}

std::wstring Batch(const std::wstring& statements) {
    return L"IF NOT EXISTS (Select * from dbo.[Partition] where name != 'Excluded') BEGIN " + statements + L"END;";
}

}  // namespace

TEST(SqlSetupText, PartitionsBecomeOneGuardedBatch) {
    const struct { const wchar_t *partitions; std::wstring sql; } cases[] = {
        {L"  Main Site\t; \nBranch-2  ",
         Batch(Statement(L"Main Site", L"ONDEX_Main_Site") + Statement(L"Branch-2", L"ONDEX_Branch_2"))},
        {L"", kDummyPartitionsSql},
        {L";", kDummyPartitionsSql},
        {L" \t\n ; ", kDummyPartitionsSql},
        {L"O'Neil", Batch(Statement(L"O''Neil", L"ONDEX_O_Neil"))},
        {L"K\u00F6ln  Nord\r", Batch(Statement(L"K\u00F6ln  Nord\r", L"ONDEX_K_ln__Nord_"))},
        {L"A;;B", Batch(Statement(L"A", L"ONDEX_A") + Statement(L"B", L"ONDEX_B"))},
    };
    for (const auto& c : cases) {
        const PartitionsBatch batch = BuildPartitionsSql(c.partitions);
        EXPECT_EQ(c.sql, batch.sql) << c.partitions;
        EXPECT_TRUE(batch.rejected.empty()) << c.partitions;
    }
}

TEST(SqlSetupText, ASurrogatePairIsOneCharacterOfTheAttributeName) {
    const std::wstring name = std::wstring(L"x") + static_cast<wchar_t>(0xD83D) + static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(L"ONDEX_x_", ScanPartitionItem(name)->attributeName);
}

TEST(SqlSetupText, OverlongItemsAreLeftOutNotCut) {
    // 113 characters fill the 511 of a statement: 160 fixed, the attribute name twice.
    const std::wstring fits(113, L'n'), statementTooLong(114, L'n'), nameTooLong(kMaxPartitionDisplayName + 1, L'n');
    const PartitionsBatch batch = BuildPartitionsSql(fits + L";" + statementTooLong + L";" + nameTooLong + L";a'b");
    EXPECT_EQ(Batch(Statement(fits, L"ONDEX_" + fits) + Statement(L"a''b", L"ONDEX_a_b")), batch.sql);
    ASSERT_EQ(2u, batch.rejected.size());
    EXPECT_EQ(statementTooLong, batch.rejected[0].displayName);
    EXPECT_EQ(nameTooLong, batch.rejected[1].displayName);
    EXPECT_EQ(kDummyPartitionsSql, BuildPartitionsSql(nameTooLong).sql);
}

TEST(SqlSetupText, ExpressCommandLineFitsItsBufferOrIsRefused) {
    EXPECT_EQ(L"\"C:\\kit\\SQLEXPR32.EXE\" -q /norebootchk /qn reboot=ReallySuppress addlocal=all "
              L"instancename=ONDEX SQLAUTOSTART=1",
              ExpressCommandLine(L"C:\\kit\\SQLEXPR32.EXE", L"ONDEX").value());
    const std::wstring fixed = *ExpressCommandLine(L"", L"");
    const size_t room = kExpressCommandLineChars - 1 - fixed.size();
    EXPECT_TRUE(ExpressCommandLine(std::wstring(room, L'p'), L""));
    EXPECT_FALSE(ExpressCommandLine(std::wstring(room, L'p'), L"I"));
}

TEST(SqlSetupText, OnlyEmptyZeroOrNoSelectSqlServerAuthentication) {
    for (const wchar_t* value : {L"", L"0", L"NO"}) EXPECT_TRUE(SelectsSqlServerAuthentication(value)) << value;
    for (const wchar_t* value : {L"no", L"1", L" 0", L"NO "}) EXPECT_FALSE(SelectsSqlServerAuthentication(value)) << value;
}
