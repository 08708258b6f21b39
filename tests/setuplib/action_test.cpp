// The runner, the phase dispatcher and the custom-action operations on real sessions.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "setuplib/oxsetuplib.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace OxSetupLib;
using namespace ondex::test;

namespace {

// A phased action that counts its invocations in its members.
class CountingAction : public OxPhasedCA {
public:
    using OxPhasedCA::OxPhasedCA;
    OxMsiString GetDescription() const override { return L"Counting things"; }
    UINT Immediate() override {
        text = L"from immediate";
        ++calls;
        return 0;
    }
    UINT Deferred() override {
        text += L"+deferred";
        ++calls;
        return 0;
    }
    UINT Rollback() override { return lastPhase = L"rollback", 0; }
    UINT Commit() override { return lastPhase = L"commit", 0; }
    void Cleanup() override { cleaned = true; }
    void Serialize(OxSerializator& serializer) override {
        serializer.Serialize(calls);
        serializer.Serialize(text);
    }

    std::uint32_t calls = 0;
    OxMsiString text;
    OxMsiString lastPhase;
    bool cleaned = false;
};

constexpr const wchar_t* kProductCode = L"{7D5A3B52-3C4E-4F43-9D2E-6F0A1B2C3D4E}";

// The run mode the session reports to the dispatcher.
MSIRUNMODE g_mode = MSIRUNMODE_ADMIN;
BOOL WINAPI ScriptedMode(MSIHANDLE, MSIRUNMODE mode) { return mode == g_mode; }

class PhasedActionTest : public testing::Test {
protected:
    void SetUp() override { modes_.api().MsiGetMode = ScriptedMode; }
    void TearDown() override { DeleteFileW((TempPath() + kProductCode).c_str()); }

    UINT RunIn(MSIRUNMODE mode, CountingAction& action) {
        g_mode = mode;
        try {
            return action.Execute();
        } catch (const OxWinError& error) {
            ADD_FAILURE() << "OxWinError " << error.Code();
            return ERROR_INSTALL_FAILURE;
        }
    }

    TestPackage package_;
    ScopedApiOverride modes_;
};

TEST_F(PhasedActionTest, ImmediateWritesTheStateAndEachDeferredInvocationLoadsAndRewritesIt) {
    const MSIHANDLE session = package_.Session();
    CountingAction immediate(session);
    ASSERT_EQ(RunIn(MSIRUNMODE_ADMIN, immediate), 0u);
    const OxMsiString storage = TempPath() + kProductCode;
    EXPECT_EQ(immediate.StorageName(), storage);
    ASSERT_TRUE(PathExists(storage));

    MsiSetPropertyW(session, L"CustomActionData", storage.c_str());
    for (int round = 0; round < 2; ++round) {
        CountingAction deferred(session);
        ASSERT_EQ(RunIn(MSIRUNMODE_SCHEDULED, deferred), 0u);
    }
    CountingAction check(session);
    OxFileSerializator load(storage);
    load.Load();
    check.Serialize(load);
    EXPECT_EQ(check.calls, 3u);
    EXPECT_EQ(check.text, L"from immediate+deferred+deferred");
}

TEST_F(PhasedActionTest, RollbackAndCommitLoadTheStateRunTheirPhaseCleanUpAndDeleteTheFile) {
    const MSIHANDLE session = package_.Session();
    const OxMsiString storage = TempPath() + kProductCode;
    MsiSetPropertyW(session, L"CustomActionData", storage.c_str());
    for (MSIRUNMODE mode : {MSIRUNMODE_ROLLBACK, MSIRUNMODE_COMMIT}) {
        CountingAction immediate(session);
        MsiSetPropertyW(session, L"CustomActionData", L"");
        ASSERT_EQ(RunIn(MSIRUNMODE_ADMIN, immediate), 0u);
        MsiSetPropertyW(session, L"CustomActionData", storage.c_str());

        CountingAction last(session);
        EXPECT_EQ(RunIn(mode, last), 0u);
        EXPECT_EQ(last.lastPhase, mode == MSIRUNMODE_ROLLBACK ? L"rollback" : L"commit");
        EXPECT_EQ(last.text, L"from immediate");
        EXPECT_TRUE(last.cleaned);
        EXPECT_FALSE(PathExists(storage));
    }
}

TEST_F(PhasedActionTest, WithoutAProductCodeTheRunnerShowsTheErrorAndFails) {
    const MSIHANDLE session = package_.Session();
    MsiSetPropertyW(session, L"ProductCode", L"");
    MessageBoxScript boxes;
    LogCapture log;
    EXPECT_EQ(runAction<CountingAction>(session, L"OxaCounting"), 1603u);
    EXPECT_EQ(boxes.Shown(true),
              std::vector<std::wstring>{L"OxaCounting|" + SystemErrorText(4317) + L"|" + std::to_wstring(MB_ICONERROR)});
    ASSERT_EQ(log.InfoLines().size(), 2u);
    EXPECT_NE(log.InfoLines()[0].find(L"This function should be called only into initial state."), std::wstring::npos);
    EXPECT_NE(log.InfoLines()[1].find(L"] " + OxWinError(4317).DisplayText()), std::wstring::npos);
}

class ThrowingAction : public OxCustomAction {
public:
    using OxCustomAction::OxCustomAction;
    OxMsiString GetDescription() const override { return L"Throws"; }
    UINT Execute() override { throw std::runtime_error("boom"); }
};

TEST(Runner, SendsActionStartWithNameDescriptionTemplateThenAnEmptyOne) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    g_mode = MSIRUNMODE_ADMIN;
    ScopedApiOverride modes;
    modes.api().MsiGetMode = ScriptedMode;
    LogCapture log;
    EXPECT_EQ(runAction<CountingAction>(session, L"OxaCounting"), 0u);
    const auto starts = log.OfType(INSTALLMESSAGE_ACTIONSTART);
    ASSERT_EQ(starts.size(), 2u);
    // Field 0 is the engine's own template.
    EXPECT_EQ(std::vector(starts[0].fields.begin() + 1, starts[0].fields.end()),
              (std::vector<std::wstring>{L"OxaCounting", L"Counting things", L"[1]", L""}));
    EXPECT_EQ(std::vector(starts[1].fields.begin() + 1, starts[1].fields.end()),
              (std::vector<std::wstring>{L"", L"", L"", L""}));
    DeleteFileW((TempPath() + kProductCode).c_str());
}

TEST(Runner, AnyOtherExceptionBecomesUnknownExceptionAnd1603) {
    TestPackage package;
    MessageBoxScript boxes;
    LogCapture log;
    EXPECT_EQ(runAction<ThrowingAction>(package.Session(), L"OxaThrowing"), 1603u);
    EXPECT_EQ(boxes.Shown(), std::vector<std::wstring>{L"OxaThrowing|Unknown exception occurred."});
    EXPECT_EQ(1u, log.InfoLinesWith(L"] Unknown exception occurred.").size());
}

}  // namespace
