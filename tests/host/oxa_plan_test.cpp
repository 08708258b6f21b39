// Selected-action mapping, stage plans and the beta version check.
#include <gtest/gtest.h>

#include "setuplib/oxa_plan.h"

using namespace OxSetupLib;

TEST(SelectAction, ComponentModesMapToInstallActionsAndOthersToNone) {
    EXPECT_EQ(SelectActionForMode(1, false, false), SA_UNINSTALL);
    EXPECT_EQ(SelectActionForMode(1, true, true), SA_UNINSTALL_FOR_UPGRADE);
    EXPECT_EQ(SelectActionForMode(2, true, true), SA_MAINTAIN);
    EXPECT_EQ(SelectActionForMode(4, false, true), SA_MAINTAIN);
    EXPECT_EQ(SelectActionForMode(3, true, false), SA_INSTALL);
    EXPECT_EQ(SelectActionForMode(3, false, true), SA_UPGRADE);
    for (int mode : {-1, 0, 5}) EXPECT_EQ(SelectActionForMode(mode, false, false), SA_NONE) << mode;
}

TEST(PlanStage, EachSelectedActionRunsInItsOwnStageAndRollsBackWithTheOppositeCode) {
    auto runs = [](int action, Stage stage, int code, bool returned) {
        const StagePlan plan = PlanStage(action, stage);
        return plan.step == StageStep::RunManaged && plan.code == code && plan.resultReturned == returned;
    };
    auto skips = [](int action, Stage stage) { return PlanStage(action, stage).step == StageStep::Skip; };
    EXPECT_TRUE(skips(2, Stage::Remove));
    EXPECT_TRUE(runs(2, Stage::Install, 2, true));
    EXPECT_TRUE(runs(2, Stage::Rollback, 5, false));
    EXPECT_TRUE(skips(3, Stage::Remove));
    EXPECT_EQ(PlanStage(3, Stage::Install).step, StageStep::LeaveToExtension);
    EXPECT_TRUE(skips(3, Stage::Rollback));
    EXPECT_TRUE(runs(4, Stage::Install, 4, true));
    EXPECT_TRUE(skips(4, Stage::Rollback));
    for (int action : {5, 6}) {
        EXPECT_TRUE(runs(action, Stage::Remove, action, false));
        EXPECT_TRUE(skips(action, Stage::Install));
        EXPECT_TRUE(runs(action, Stage::Rollback, 4, false));
    }
    for (Stage stage : {Stage::Remove, Stage::Install, Stage::Rollback}) {
        EXPECT_EQ(PlanStage(1, stage).step, StageStep::Unknown);
        EXPECT_EQ(PlanStage(7, stage).step, StageStep::Unknown);
    }
}

TEST(BetaVersion, BelowSixFiveZeroFiveHundredBlocks) {
    EXPECT_FALSE(IsBlockingBetaVersion(L"6.5.0.500"));
    EXPECT_FALSE(IsBlockingBetaVersion(L"6.5.1"));
    EXPECT_FALSE(IsBlockingBetaVersion(L"7"));
    EXPECT_TRUE(IsBlockingBetaVersion(L"6.5.0.499"));
    EXPECT_TRUE(IsBlockingBetaVersion(L"6.4"));
    EXPECT_TRUE(IsBlockingBetaVersion(L"garbage"));
    EXPECT_EQ(PackedVersion(L"1.2.3.4.5"), 0x0001000200030004ull);
    // Each part is cut to 16 bits: 65542 is 6.
    EXPECT_EQ(PackedVersion(L"65542.5"), 0x0006000500000000ull);
}
