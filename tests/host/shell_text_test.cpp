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
