// The tracer's channels, the trace file and the small services.
#include <gtest/gtest.h>

#include <regex>

#include "runtime/entry_frame.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::runtime;
using namespace ondex::test;

namespace {

int Event(UINT flags, const wchar_t* text = L"text") {
    tstrcpy_s(L"test", L"caption", g_eventCaption, kEventCaptionChars, L"S: T");
    tstrcpy_s(L"test", L"text", g_eventText, kEventTextChars, text);
    return Tracer().Notify(flags, g_eventText, g_eventCaption);
}

// A fresh tracer whose current directory is an empty folder.
struct Tracing : testing::Test {
    TempFolder folder;
    wchar_t saved[MAX_PATH];
    MessageBoxScript boxes;
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, saved);
        SetCurrentDirectoryW(folder.Path().c_str());
        Tracer().Close();
    }
    void TearDown() override {
        Tracer().Close();
        SetCurrentDirectoryW(saved);
    }
    std::string Tlk() { return ReadFileBytes(folder.File(L"tlk")); }
};

}  // namespace

TEST_F(Tracing, BoxStyleFollowsTheLevelAndAnswersMapToResults) {
    EXPECT_EQ(0, Event(TF_TRACE | TF_ERROR | TF_ASSERT));  // no channel: nothing at all
    struct Case { UINT flags; int given; UINT style; int answer; };
    for (const Case& c : {Case{0x104, IDCANCEL, 0x246, 1602}, {0x106, IDTRYAGAIN, 0x246, -1},
                          {0x102, IDCONTINUE, 0x236, 0}, {0x101, IDOK, 0x216, 0}, {0x100, IDCANCEL, 0x206, 1602}}) {
        boxes.Answer(c.given);
        EXPECT_EQ(c.answer, Event(c.flags)) << c.flags;
        EXPECT_EQ(c.style, boxes.boxes().back().style) << c.flags;
    }
    EXPECT_EQ(5u, boxes.boxes().size());
    EXPECT_FALSE(Tracer().Opened());
}

TEST_F(Tracing, RaiseEventAndAssertBoxApplyTheirAnswers) {
    boxes.WithDebugger().Answer(IDTRYAGAIN).Answer(IDCANCEL).Answer(IDCANCEL);
    RaiseEvent(0x306, TF_TRACE, L"Scope", L"Title", L"n=%i %s", 5, L"wide");
    EXPECT_THROW(RaiseEvent(0x100, TF_ERROR, L"S", L"T", L"x"), TraceAbort);
    TraceIf(0x102, TF_TRACE, L"S", L"T", L"not raised");
    AssertBox(0x601, L"Scope", L"Title", L"%s has %i", L"it", 3);  // channels play no part
    AssertBox(0x700, L"Scope", L"Title", L"not shown");
    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ(L"Scope: Title", boxes.boxes()[0].caption);
    EXPECT_EQ(L"it has 3", boxes.boxes()[2].text);
    EXPECT_EQ(0x11u, boxes.boxes()[2].style);
    EXPECT_EQ(2, boxes.debugBreaks());
    Tracer().Close();
    EXPECT_EQ("    Scope: Title: n=5 wide\r\n", Tlk());
}

TEST_F(Tracing, ExistingFileIsAppendedWithLevelMarkers) {
    WriteFileBytes(folder.File(L"tlk"), "old\r\n");
    for (UINT level : {0x4u, 0x2u, 0x1u, 0x0u}) Event(TF_LOGFILE | level);
    Event(TF_LOGFILE, L"wide \u4e2d and \u00e9");
    Event(TF_LOGFILE, L"still written");
    Tracer().Close();
    EXPECT_EQ("old\r\n    S: T: text\r\n!   S: T: text\r\n*** S: T: text\r\n?   S: T: text\r\n"
              "?   S: T: wide ? and \xe9\r\n?   S: T: still written\r\n",
              Tlk());
}

TEST_F(Tracing, MissingFileIsCreatedAndEveryChannelServed) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    WcaInitialize(session, "LogName");
    EXPECT_EQ(0, Event(0x704));
    Event(0x402);
    WcaFinalize(0);
    Event(0x404);  // detached: no installer-log line
    Tracer().Close();
    EXPECT_EQ("    S: T: text\r\n", Tlk());
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(0x246u, boxes.boxes()[0].style);
    EXPECT_EQ((std::vector<std::wstring>{L"LogName:    S: T: text", L"LogName:  ! S: T: text"}), log.InfoLines());
}

TEST_F(Tracing, RegistryDwordSendsTheFramesEventsToTheFileOnly) {
    OndexRegistryScope registry;
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"FileAction", 0x204);
    TestPackage package;
    EXPECT_EQ(0u, RunClassicAction(package.Session(), "FileAction", [](UINT&, const wchar_t*, UINT, MSIHANDLE) {}));
    Tracer().Close();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ("    FileAction: Welcome!: Entering Binary custom action\r\n"
              "    FileAction: GoodBye!: Exiting Binary custom action, result: 0\r\n",
              Tlk());
}

TEST_F(Tracing, FolderMissingFallsBackToTheTemporaryName) {
    wchar_t dir[MAX_PATH], expected[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"tlkl", 1, expected);
    DeleteFileW(expected);
    for (const char* content : {"    S: T: text\r\n", "    S: T: text\r\n    S: T: text\r\n"}) {
        Tracer().OpenLogFile(folder.File(L"missing\\tlk"));
        EXPECT_EQ(expected, Tracer().LogFileName());
        Event(TF_LOGFILE | TF_TRACE);
        Tracer().Close();
        EXPECT_EQ(content, ReadFileBytes(expected));  // created, then appended to
    }
    DeleteFileW(expected);
}

TEST(Services, ErrorTextBoundedCopyAndTimestampedLine) {
    EXPECT_EQ(L" error: (0xDEADBEEF): Unknown error", FormatErrMessage(0xDEADBEEF, L" error"));
    for (const wchar_t* source : {L"ABCDEFGHIJKLMNOPQRST", L"ABCDEFGHIJKLMNOP", L"ABCDEFGHIJKLMNO"}) {
        wchar_t buffer[16];
        EXPECT_EQ(0, tstrcpy_s(L"test", L"buffer", buffer, 16, source));
        EXPECT_STREQ(L"ABCDEFGHIJKLMNO", buffer);
    }
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    EXPECT_EQ(1, LogTimestamped(session, L"hello [1]"));
    ASSERT_EQ(1u, log.InfoLines().size());
    EXPECT_TRUE(std::regex_match(log.InfoLines()[0], std::wregex(L"Tolka \\d\\d:\\d\\d:\\d\\d: hello \\[1\\]")))
        << log.InfoLines()[0];
}

namespace {

MSIRUNMODE g_runMode = MSIRUNMODE_ADMIN;  // none of the deferred modes
BOOL WINAPI ScriptedMode(MSIHANDLE, MSIRUNMODE mode) { return mode == g_runMode; }

}  // namespace

TEST_F(Tracing, WhereNobodyCanAnswerBoxesGoToTheEngineAndTakeItsAnswerOrTheirDefaultButton) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    ScopedApiOverride modes;
    modes.api().MsiGetMode = &ScriptedMode;
    struct Case { const wchar_t* uiLevel; MSIRUNMODE mode; bool engine; };
    for (const Case& c : {Case{L"5", MSIRUNMODE_ADMIN, false}, {L"4", MSIRUNMODE_ADMIN, false},
                          {L"3", MSIRUNMODE_ADMIN, true}, {L"2", MSIRUNMODE_ADMIN, true},
                          {L"5", MSIRUNMODE_SCHEDULED, true}, {L"5", MSIRUNMODE_ROLLBACK, true},
                          {L"5", MSIRUNMODE_COMMIT, true}}) {
        g_runMode = c.mode;
        MsiSetPropertyW(session, L"UILevel", c.uiLevel);
        WcaInitialize(session, "BoxTest");
        LogCapture log;
        const size_t shownBefore = boxes.boxes().size();
        EXPECT_EQ(0, Event(0x104, L"[1] as written"));  // unanswered: Continue, the default button
        AssertBox(TF_ASSERT, L"Scope", L"Title", L"assert");
        log.AnswerWith(INSTALLMESSAGE_USER, IDCANCEL);
        const int cancelled = Event(0x104);
        WcaFinalize(0);

        const auto asked = log.OfType(INSTALLMESSAGE_USER);
        if (c.engine) {
            EXPECT_EQ(shownBefore, boxes.boxes().size()) << c.uiLevel << c.mode;
            ASSERT_EQ(3u, asked.size()) << c.uiLevel << c.mode;
            EXPECT_EQ(L"[1] as written", asked[0].text);
            EXPECT_EQ(0x246u, asked[0].style);
            EXPECT_EQ(0x11u, asked[1].style);
            EXPECT_EQ(1602, cancelled);
        } else {
            EXPECT_EQ(shownBefore + 3, boxes.boxes().size()) << c.uiLevel;
            EXPECT_TRUE(asked.empty()) << c.uiLevel;
        }
    }
    EXPECT_EQ(0, boxes.debugBreaks());
}

TEST_F(Tracing, TryAgainAndAssertCancelBreakOnlyIntoAnAttachedDebugger) {
    boxes.Answer(IDTRYAGAIN).Answer(IDCANCEL);
    RaiseEvent(0x104, TF_TRACE, L"S", L"T", L"goes on");
    AssertBox(TF_ASSERT, L"S", L"T", L"goes on");
    EXPECT_EQ(0, boxes.debugBreaks());
    boxes.WithDebugger().Answer(IDTRYAGAIN).Answer(IDCANCEL);
    RaiseEvent(0x104, TF_TRACE, L"S", L"T", L"breaks");
    AssertBox(TF_ASSERT, L"S", L"T", L"breaks");
    EXPECT_EQ(2, boxes.debugBreaks());
}

TEST_F(Tracing, ATemporaryPathLongerThanTheBufferGivesNoFallbackName) {
    ScopedApiOverride temp;
    // Wine never answers so; Windows does for a long TMP: the size needed, and a cut path.
    temp.api().GetTempPathW = [](DWORD size, LPWSTR buffer) -> DWORD {
        lstrcpynW(buffer, L"C:\\windows\\temp\\", static_cast<int>(size));
        return MAX_PATH + 40;
    };
    Tracer().OpenLogFile(L"C:\\no\\such\\folder\\tlk");
    EXPECT_EQ(L"tlk", Tracer().LogFileName());
}
