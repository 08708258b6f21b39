#include <gtest/gtest.h>

#include "prereq/shell_text.h"

using namespace ondex::prereq;

namespace {
std::vector<std::wstring> Commands(std::wstring_view data) { return SplitBathShellData(data).value().commands; }
}  // namespace

TEST(BathShellData, WithoutSeparatorNothingIsRun) {
    EXPECT_FALSE(SplitBathShellData(L"").has_value());
    EXPECT_FALSE(SplitBathShellData(L"||").has_value());
    EXPECT_FALSE(SplitBathShellData(L"Installing tools tool.exe /quiet").has_value());
    EXPECT_FALSE(SplitBathShellData(L"Title||tool.exe||").has_value());
}

TEST(BathShellData, TitleThenEveryCommandInOrder) {
    const auto script = SplitBathShellData(L"Configuring|||a.exe /x|||b.exe|||c.exe -y");
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(L"Configuring", script->title);
    EXPECT_EQ((std::vector<std::wstring>{L"a.exe /x", L"b.exe", L"c.exe -y"}), script->commands);
}

TEST(BathShellData, PiecesBetweenSeparatorsCountEvenWhenEmpty) {
    EXPECT_EQ((std::vector<std::wstring>{L"", L"tool.exe"}), Commands(L"T||||||tool.exe|||"));
    // A fourth bar belongs to the following piece.
    EXPECT_EQ((std::vector<std::wstring>{L"|a.exe"}), Commands(L"T||||a.exe|||"));
    const auto bare = SplitBathShellData(L"|||");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(L"", bare->title);
    EXPECT_TRUE(bare->commands.empty());
}

TEST(BathShellData, FinalRemainderCountsOnlyBeyondFourCharacters) {
    EXPECT_TRUE(Commands(L"Title|||a.ex").empty());
    EXPECT_EQ((std::vector<std::wstring>{L"a.exe"}), Commands(L"Title|||a.exe"));
    EXPECT_EQ((std::vector<std::wstring>{L"first.exe"}), Commands(L"Title|||first.exe|||x.ex"));
}

TEST(ToolFailureTexts, ExplanationNamesCommandAndReason) {
    EXPECT_EQ(L"An error occurred while trying to run command:\nx.exe /a",
              ToolRunExplanation(ToolRunStatus::ExitCodeUnknown, L"x.exe /a"));
    EXPECT_EQ(L"An error occurred while trying to run command:\nx.exe\nReason:Error creating process.",
              ToolRunExplanation(ToolRunStatus::StartFailed, L"x.exe"));
    EXPECT_EQ(L"An error occurred while trying to run command:\nx.exe\nReason:Unknown exception.",
              ToolRunExplanation(ToolRunStatus::StartException, L"x.exe"));
    EXPECT_EQ(L"Tool execution failed with the following error:\nbad input\r\n", ToolFailureBoxText(L"bad input\r\n"));
}

TEST(ShellDuration, EmptyMeansSixtyTicksOtherwiseDecimalValue) {
    EXPECT_EQ(60, ShellDurationTicks(L""));
    EXPECT_EQ(900, ShellDurationTicks(L"900"));
    EXPECT_EQ(15, ShellDurationTicks(L"15s"));
    EXPECT_EQ(0, ShellDurationTicks(L"soon"));
}

TEST(ProgressTicks, BarStartsOverOnceMoreTicksAreDoneThanTheTotal) {
    ProgressTicks ticks(5);
    std::vector<int> resetsAfter;
    for (int tick = 1; tick <= 10; ++tick)
        if (ticks.AfterTimeout(true)) resetsAfter.push_back(tick);
    EXPECT_EQ(std::vector<int>{6}, resetsAfter);
}

TEST(ProgressTicks, CancelledIncrementsAndZeroTotalNeverFillTheBar) {
    ProgressTicks cancelled(2);
    ProgressTicks unsized(0);
    EXPECT_FALSE(unsized.SendsIncrements());
    for (int tick = 0; tick < 10; ++tick) {
        EXPECT_FALSE(cancelled.AfterTimeout(false));
        EXPECT_FALSE(unsized.AfterTimeout(true));
    }
}
