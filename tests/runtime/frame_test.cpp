// The trace-flag lookup and the entry frame, on real sessions.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "runtime/entry_frame.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/win_exception.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::runtime;
using namespace ondex::test;

namespace {

constexpr wchar_t kSettings[] = L"SOFTWARE\\Ondex\\setupdebug";
int g_calls = 0;
UINT g_flags = 0, g_implResult = 0;

void Impl(UINT& result, const wchar_t* name, UINT flags, MSIHANDLE) {
    EXPECT_STREQ(L"FrameAction", name);
    ++g_calls, g_flags = flags, result = g_implResult;
}

struct Frame : testing::Test {
    OndexRegistryScope registry;
    TestPackage package;
    MessageBoxScript boxes;
    void SetUp() override { g_calls = 0, g_flags = 0, g_implResult = 0; }
    UINT Run(const std::wstring& property = L"", ActionImpl impl = Impl) {
        if (!property.empty()) package.Property(L"TracerFrameAction_TRACERFLAGS", property);
        return RunClassicAction(package.Session(), "FrameAction", impl);
    }
};

}  // namespace

TEST_F(Frame, SettingsValuesTypesAndMasks) {
    EXPECT_EQ(0x101u, GetTracerFlags("Any"));
    OndexRegistryScope::SetBinary(kSettings, L"Expand", {'4', 0, 0, 0}, REG_EXPAND_SZ);
    OndexRegistryScope::SetBinary(kSettings, L"Binary", {4, 0, 0, 0}, REG_BINARY);
    OndexRegistryScope::SetString(kSettings, L"Any", L" +7x");
    EXPECT_EQ(0x101u, GetTracerFlags("Expand"));
    EXPECT_EQ(0x101u, GetTracerFlags("Binary"));
    EXPECT_EQ(7u, GetTracerFlags("Any"));
    OndexRegistryScope::SetString(kSettings, L"@TRACERFLAGS_ANDORMASK", L"512");
    EXPECT_EQ(0x207u, GetTracerFlags("Any"));
    EXPECT_EQ(0x301u, GetTracerFlags("Other"));
    OndexRegistryScope::SetDword(kSettings, L"@TRACERFLAGS_XORMASK", 0x100);
    EXPECT_EQ(0x100u, GetTracerFlags("Other"));
}

TEST_F(Frame, DefaultFlagsRaiseNothingAndAttachFailureDoesNothing) {
    g_implResult = 1603;
    EXPECT_EQ(1603u, Run());
    EXPECT_EQ(0x101u, g_flags);
    EXPECT_EQ(87u, Run(L"", [](UINT&, const wchar_t*, UINT, MSIHANDLE) { throw 87; }));
    // A log name of 32 characters cannot attach: 1603 and nothing else.
    OndexRegistryScope::SetDword(kSettings, L"ActionNameOfThirtyTwoCharacters_", 0x106);
    EXPECT_EQ(1603u, RunClassicAction(package.Session(), "ActionNameOfThirtyTwoCharacters_", Impl));
    EXPECT_EQ(1, g_calls);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Frame, PropertyIsParsedAsDecimalFromItsFirstNineCharacters) {
    for (const auto& [value, expected] : std::vector<std::pair<std::wstring, UINT>>{
             {L"12abc", 0x10D}, {L"00000000004", 0x101}, {L"000000004", 0x105}}) {
        TestPackage own;
        own.Property(L"TracerFrameAction_TRACERFLAGS", value);
        RunClassicAction(own.Session(), "FrameAction", Impl);
        EXPECT_EQ(expected, g_flags) << value;
    }
}

TEST_F(Frame, TraceLevelShowsWelcomeAndGoodbyeAndFollowsTheirAnswers) {
    boxes.WithDebugger().Answer(IDTRYAGAIN).Answer(IDTRYAGAIN).Answer(IDCONTINUE).Answer(IDCANCEL);
    EXPECT_EQ(0u, Run(L"4"));  // a break on entry only, then the implementation runs
    EXPECT_EQ(1602u, Run());   // Cancel on the exit box
    EXPECT_EQ(1, boxes.debugBreaks());
    EXPECT_EQ(2, g_calls);
    EXPECT_EQ(0x105u, g_flags);
    EXPECT_EQ(L"FrameAction: Welcome!|Entering Binary custom action|582", boxes.Shown(true)[0]);  // 0x246
    EXPECT_EQ(L"FrameAction: GoodBye!|Exiting Binary custom action, result: 0", boxes.Shown()[1]);
    boxes.Answer(IDCANCEL);
    EXPECT_EQ(1602u, Run());  // Cancel on entry: no implementation, no error event
    EXPECT_EQ(2, g_calls);
    EXPECT_EQ(5u, boxes.boxes().size());
}

TEST_F(Frame, EntryCancelWithErrorLevelLetsTheFinalizeBoxDecide) {
    boxes.Answer(IDCANCEL).Answer(IDCONTINUE).Answer(IDCANCEL).Answer(IDCANCEL);
    EXPECT_EQ(0u, Run(L"6"));
    EXPECT_EQ(1602u, Run());
    EXPECT_EQ(0, g_calls);
    EXPECT_EQ(L"FrameAction: Finalize error! #1602|FrameAction  error: (0x642): " + SystemErrorText(1602), boxes.Shown()[1]);
}

TEST_F(Frame, ErrorEventCarriesTheSystemTextAndKeepsTheResult) {
    g_implResult = 1603;
    boxes.Answer(IDTRYAGAIN);
    EXPECT_EQ(1603u, Run(L"258"));  // 0x102
    EXPECT_EQ(std::vector<std::wstring>{L"FrameAction: Finalize error! #1603|FrameAction  error: (0x643): " +
                                        SystemErrorText(1603) + L"|566"},  // 0x236
              boxes.Shown(true));
    EXPECT_EQ(0, boxes.debugBreaks());
}

TEST_F(Frame, AnyExceptionOtherThanTheAbortIsOneLoggedErrorAnd1603WithTheLayerDetached) {
    struct Case {
        ActionImpl impl;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {[](UINT&, const wchar_t*, UINT, MSIHANDLE) { throw std::bad_alloc(); }, L"unexpected exception: std::bad_alloc"},
        {[](UINT&, const wchar_t*, UINT, MSIHANDLE) { std::wstring().reserve(std::wstring().max_size() + 1); },
         L"unexpected exception: "},
        {[](UINT&, const wchar_t*, UINT, MSIHANDLE) { throw CWinEExc(L"RegOpenKeyEx failed", 5); },
         L"unexpected error 5: RegOpenKeyEx failed"},
        {[](UINT&, const wchar_t*, UINT, MSIHANDLE) { throw 2.5; }, L"unexpected exception"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(1603u, Run(L"", c.impl));
        EXPECT_FALSE(WcaIsAttached());
        const auto lines = log.InfoLinesWith(L"FrameAction: unexpected");
        ASSERT_EQ(1u, lines.size()) << c.logged;
        EXPECT_NE(std::wstring::npos, lines[0].find(c.logged)) << lines[0];
    }
}

TEST_F(Frame, AnInnerAttachARefusedOrACancelledOneGivesTheLogBackToTheActionForItsLaterLinesAndItsErrorEvent) {
    LogCapture log;
    OndexRegistryScope::SetDword(kSettings, L"INTF_WcaInitializer", 0x104);  // the attach traced in a box
    boxes.Answer(IDOK).Answer(IDCANCEL);
    const UINT result = Run(L"1026", [](UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {  // 0x402
        { WcaInitializer inner(hInstall, "INTF_Inner"); }
        { WcaInitializer refused(hInstall, "INTF_ANameOfThirtyTwoCharacters_"); }  // too long for the layer
        try {
            WcaInitializer cancelled(hInstall, "INTF_Cancelled");
        } catch (int) {
        }
        WcaLog(LOGMSG_STANDARD, "after the inner scope");
        result = 1603;
    });
    EXPECT_EQ(1603u, result);
    EXPECT_TRUE(log.HasInfoLine(L"FrameAction:  after the inner scope"));
    EXPECT_EQ(1u, log.InfoLinesWith(L"FrameAction:  ! FrameAction: Finalize error! #1603").size());
    EXPECT_FALSE(WcaIsAttached());
}
