#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iis/iis_state_text.h"

using namespace ondex::iis;

TEST(PendingWait, PausesATenthOfTheHintBetweenOneAndTenSecondsAndTakesFortySecondsForNoHint) {
    struct Case { std::uint32_t hint, pause, limit; };
    for (const Case& c : {Case{0, 4000, 40000}, {500, 1000, 500}, {15000, 1500, 15000}, {100000, 10000, 100000},
                          {250000, 10000, 250000}}) {
        EXPECT_EQ(c.pause, PendingPauseMs(c.hint)) << c.hint;
        EXPECT_EQ(c.limit, PendingLimitMs(c.hint)) << c.hint;
    }
}

TEST(PendingWait, AMovingCheckPointRestartsTheClockAndAStalledOneEndsTheWaitAfterTheHint) {
    PendingClock clock(1, 1000);
    struct Step { std::uint32_t checkPoint, hint, now; bool moving; };
    for (const Step& s : {Step{1, 2000, 3000, true},     // 2000 ms without progress: still within the hint
                          {2, 2000, 9000, true},         // progress restarts the clock at 9000
                          {2, 2000, 11000, true},
                          {1, 2000, 11001, false}}) {    // a lower check point is no progress
        EXPECT_EQ(s.moving, clock.Moving(s.checkPoint, s.hint, s.now)) << s.now;
    }
    PendingClock wrapped(0, 0xFFFFF000);  // the tick count wraps after 49 days
    EXPECT_TRUE(wrapped.Moving(0, 0, 0x1000));
    EXPECT_FALSE(wrapped.Moving(0, 0, 0xFFFFF000 + 40001));
}

TEST(StopPoll, SleepsTheHintButNeverBusyLoopsNorPassesTheTimeOut) {
    struct Case { std::uint32_t hint, elapsed, pause; };
    for (const Case& c : {Case{3000, 0, 3000}, {0, 0, 100}, {30000, 0, 15000}, {3000, 14000, 1000},
                          {3000, 15000, 100}, {3000, 20000, 100}})
        EXPECT_EQ(c.pause, StopPollMs(c.hint, c.elapsed, 15000)) << c.hint << " " << c.elapsed;
}

TEST(SiteState, StoppingAndStoppedAreNotRunningAndTheXpQuestionNamesTheDefaultSite) {
    for (std::uint32_t state : {0u, 1u, 2u, 5u, 6u, 7u}) EXPECT_FALSE(SiteIsStopped(state)) << state;
    EXPECT_TRUE(SiteIsStopped(3));
    EXPECT_TRUE(SiteIsStopped(4));
    const std::wstring xp = L"DefaultWebSite must be started. Would you like the setup program to start it?";
    const std::wstring own = L"OndexAlmanac site must be started. Would you like the setup program to start it?";
    struct Case { const wchar_t *version, *type; const std::wstring& question; };
    for (const Case& c : {Case{L"501", L"1", xp}, {L"501", L"", xp}, {L"502", L"1", xp}, {L"502", L"3", own},
                          {L"601", L"1", own}, {L"", L"", own}})
        EXPECT_EQ(c.question, SiteStartQuestion(c.version, c.type)) << c.version << "/" << c.type;
    EXPECT_EQ(L"-1", SignedSiteNumber(0xFFFFFFFF));
    EXPECT_EQ(L"4294967294", SignedSiteNumber(0xFFFFFFFE));
}

TEST(AspNetRegIisPath, TakesThreeNumbersOfTheVersionBehindTheInstallRoot) {
    const std::wstring root = L"C:\\Windows\\Microsoft.NET\\Framework64\\";
    struct Case { const wchar_t *version, *suffix; };
    for (const Case& c : {Case{L"2.0.50727.42", L"v2.0.50727\\"}, {L"4.0.30319.1", L"v4.0.30319\\"},
                          {L"4.0", L"v4.0.0\\"}, {L"", L"v0.0.0\\"}, {L"2.x.5", L"v2.0.0\\"},
                          {L"2..5", L"v2.0.0\\"}, {L"1.2.3abc", L"v1.2.3\\"}, {L"v2.0", L"v0.0.0\\"},
                          {L"99999999999.1.2", L"v2147483647.1.2\\"}, {L"010.2.3", L"v10.2.3\\"}})
        EXPECT_EQ(root + c.suffix, GetASPNETREGIISPath(root, c.version)) << c.version;
    const std::wstring longRoot(300, L'x');
    EXPECT_EQ(std::wstring(259, L'x'), GetASPNETREGIISPath(longRoot, L"2.0.50727"));
}

TEST(WebRoot, OnlyIisDefaultFolderBelowTheRootCountsAndGetsItsBackslash) {
    EXPECT_EQ(L"D:\\Inetpub\\wwwroot\\", WithTrailingBackslash(L"D:\\Inetpub\\wwwroot"));
    EXPECT_EQ(L"D:\\Web\\", WithTrailingBackslash(L"D:\\Web\\"));
    EXPECT_EQ(L"", WithTrailingBackslash(L""));
    EXPECT_TRUE(IsDefaultWebRootTail(L"Inetpub\\wwwroot\\"));
    for (const wchar_t* tail : {L"inetpub\\wwwroot\\", L"Inetpub\\wwwroot", L"Web\\", L"x\\Inetpub\\wwwroot\\"})
        EXPECT_FALSE(IsDefaultWebRootTail(tail)) << tail;
}

TEST(FolderToDelete, DropsOneTrailingBackslashAndRefusesEmptyOrWildcardPaths) {
    EXPECT_EQ(L"C:\\Sites\\Reports", FolderToDelete(L"C:\\Sites\\Reports\\").value_or(L"none"));
    EXPECT_EQ(L"C:\\Sites\\Reports\\", FolderToDelete(L"C:\\Sites\\Reports\\\\").value_or(L"none"));
    for (const wchar_t* refused : {L"", L"\\", L"C:\\Sites\\*", L"C:\\Site?"})
        EXPECT_FALSE(FolderToDelete(refused).has_value()) << refused;
}
