#include <gtest/gtest.h>

#include "prereq/shell_text.h"

using namespace ondex::prereq;

namespace {
using Commands = std::vector<std::wstring>;
Commands CommandsOf(std::wstring_view data) { return SplitBathShellData(data).value().commands; }
}  // namespace

TEST(BathShellData, WithoutSeparatorNothingIsRun) {
    EXPECT_FALSE(SplitBathShellData(L"").has_value());
    EXPECT_FALSE(SplitBathShellData(L"||").has_value());
    EXPECT_FALSE(SplitBathShellData(L"Title tool.exe||other.exe").has_value());
}

TEST(BathShellData, SeparatorsEndCommandsAndOnlyALongRemainderCounts) {
    const auto script = SplitBathShellData(L"Configuring|||a.exe /x||||||b.exe -y|||");
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(L"Configuring", script->title);
    EXPECT_EQ((Commands{L"a.exe /x", L"", L"b.exe -y"}), script->commands);

    EXPECT_EQ(Commands{}, CommandsOf(L"|||"));
    EXPECT_EQ(Commands{}, CommandsOf(L"Title|||a.ex"));
    EXPECT_EQ((Commands{L"a.exe"}), CommandsOf(L"Title|||a.exe"));
    EXPECT_EQ((Commands{L"|first.exe"}), CommandsOf(L"Title||||first.exe|||x.ex"));
}

TEST(ToolFailureTexts, ExplanationEndsWithTheReasonOfTheFailure) {
    const std::wstring start = L"An error occurred while trying to run command:\nx.exe /a";
    EXPECT_EQ(start, ToolRunExplanation(ToolRunStatus::ExitCodeUnknown, L"x.exe /a"));
    EXPECT_EQ(start + L"\nReason:Error creating process.", ToolRunExplanation(ToolRunStatus::StartFailed, L"x.exe /a"));
    EXPECT_EQ(start + L"\nReason:Unknown exception.", ToolRunExplanation(ToolRunStatus::StartException, L"x.exe /a"));
}

TEST(ShellDuration, OutOfRangeValuesGetADefinedAdjustedSize) {
    const struct {
        const wchar_t* text;
        int ticks;
        bool adjusted;
    } rows[] = {
        {L"", 60, false},         {L"15", 15, false},         {L" +7s", 7, false},
        {L"0", 0, false},         {L"-5", 60, true},          {L"2147483647", 2147483647, false},
        {L"2147483648", 2147483647, true}, {L"99999999999999999999", 2147483647, true},
    };
    for (const auto& row : rows) {
        const auto used = ShellDurationTicks(row.text);
        EXPECT_EQ(row.ticks, used.value) << row.text;
        EXPECT_EQ(row.adjusted, used.adjusted) << row.text;
    }
}

TEST(ProgressTickWait, NullNegativeAndHugeIntervalsWaitADefinedTime) {
    const struct {
        int seconds;
        std::uint32_t milliseconds;
        bool adjusted;
    } rows[] = {
        {1, 1000, false}, {0, 100, true}, {-1, 1000, true}, {2147483, 2147483000u, false}, {2147484, 2147483000u, true},
    };
    for (const auto& row : rows) {
        const auto used = ProgressTickWait(row.seconds);
        EXPECT_EQ(row.milliseconds, used.value) << row.seconds;
        EXPECT_EQ(row.adjusted, used.adjusted) << row.seconds;
    }
}
