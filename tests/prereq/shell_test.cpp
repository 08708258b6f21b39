// The command runner against real processes of the test tool, in sessions
// opened on test packages. Waits that would take seconds are scripted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/seam.h"
#include "prereq/shell.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex;
using namespace ondex::test;
using ::testing::ElementsAre;
using ::testing::EndsWith;

namespace {

using Ticks = std::vector<std::vector<int>>;
const std::vector<int> kActionInfo{1, 1, 0};
const std::vector<int> kIncrement{2, 1, 0};
std::vector<int> Reset(int total) { return {0, total, 0, 0}; }

const std::wstring kMissingProgram = L"C:\\no\\such\\folder\\missing.exe /quiet";

// The process wait times out `timeouts` times, then really waits for the end.
class ScriptedWait {
public:
    explicit ScriptedWait(int timeouts) {
        remaining_ = timeouts;
        asked_.clear();
        override_.api().WaitForSingleObject = &Wait;
    }
    static const std::vector<DWORD>& TimeoutsAsked() { return asked_; }

private:
    static DWORD WINAPI Wait(HANDLE handle, DWORD milliseconds) {
        asked_.push_back(milliseconds);
        if (remaining_ == 0) return platform::RealApi().WaitForSingleObject(handle, INFINITE);
        --remaining_;
        return WAIT_TIMEOUT;
    }
    static inline int remaining_ = 0;
    static inline std::vector<DWORD> asked_;
    ScopedApiOverride override_;
};

// Standard output of this process is `handle` while the scope lives.
class StdoutTo {
public:
    explicit StdoutTo(HANDLE handle) : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        SetStdHandle(STD_OUTPUT_HANDLE, handle);
    }
    ~StdoutTo() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }

private:
    HANDLE saved_;
};

class StdoutToFile {
public:
    explicit StdoutToFile(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr)),
          redirect_(file_.get()) {}

private:
    platform::UniqueHandle file_;
    StdoutTo redirect_;
};

// Fields 1..3 of the last action start (field 0 is the engine's template).
std::vector<std::wstring> ActionStartFields(const LogCapture& log) {
    const auto starts = log.OfType(INSTALLMESSAGE_ACTIONSTART);
    if (starts.empty()) return {};
    const auto& fields = starts.back().fields;
    return {fields.begin() + 1, fields.end()};
}

void SetProperty(MSIHANDLE session, const wchar_t* name, const std::wstring& value) {
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiSetPropertyW(session, name, value.c_str()));
}

}  // namespace

// ---- ShellWithProgress ----

TEST(ShellWithProgress, QuickCommandGetsItsBarAndActionStartAndReturnsTheExitCodeDetached) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    runtime::WcaInitialize(session, "ShellTest");

    EXPECT_EQ(7, prereq::ShellWithProgress(TestTool(L"sleep:100 exit:7").c_str(), session, L"Restarting IIS", 15, 1));

    // The runner's own attach ended and gave the caller's back.
    EXPECT_STREQ("ShellTest", runtime::WcaGetLogName());
    runtime::WcaFinalize(0);
    EXPECT_FALSE(runtime::WcaIsAttached());
    EXPECT_EQ(Reset(15), log.Progress().at(0));
    EXPECT_EQ(kActionInfo, log.Progress().at(1));
    EXPECT_THAT(ActionStartFields(log), ElementsAre(L"Ondex Setup", L"Restarting IIS...", L"[1]"));
}

TEST(ShellWithProgress, TenTicksOnATotalOfFiveRestartTheBarOnceAfterTheSixthAndAZeroIntervalTicksEvery100Ms) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    ScriptedWait wait(10);

    EXPECT_EQ(0, prereq::ShellWithProgress(TestTool(L"exit:0").c_str(), session, L"Installing", 5, 2));

    Ticks expected{Reset(5), kActionInfo};
    for (int tick = 1; tick <= 10; ++tick) {
        expected.push_back(kIncrement);
        if (tick == 6) expected.insert(expected.end(), {Reset(5), kActionInfo});
    }
    EXPECT_EQ(expected, log.Progress());
    EXPECT_EQ(std::vector<DWORD>(11, 2000), ScriptedWait::TimeoutsAsked());

    ScriptedWait zeroInterval(3);
    EXPECT_EQ(0, prereq::ShellWithProgress(TestTool(L"exit:0").c_str(), session, L"Installing", 5, 0));
    EXPECT_EQ(std::vector<DWORD>(4, 100), ScriptedWait::TimeoutsAsked());
    EXPECT_TRUE(log.HasInfoLine(
        L"INTF_ShellWithProgress:  Progress update interval 0 s is out of range; ticking every 100 ms."));
}

TEST(ShellWithProgress, CancelledTicksAreNotCountedAndAZeroTotalSendsNone) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    log.AnswerWith(INSTALLMESSAGE_PROGRESS, IDCANCEL);
    {
        ScriptedWait wait(8);
        EXPECT_EQ(3, prereq::ShellWithProgress(TestTool(L"exit:3").c_str(), session, L"Cancelled", 5, 1));
    }
    Ticks expected{Reset(5), kActionInfo};
    expected.insert(expected.end(), 8, kIncrement);
    EXPECT_EQ(expected, log.Progress());

    log.Clear();
    ScriptedWait wait(4);
    EXPECT_EQ(0, prereq::ShellWithProgress(TestTool(L"exit:0").c_str(), session, L"Unsized", 0, 1));
    EXPECT_EQ((Ticks{Reset(0), kActionInfo}), log.Progress());
}

TEST(ShellWithProgress, UnreadableExitCodeIsAFailure) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    ScopedApiOverride seam;
    seam.api().GetExitCodeProcess = [](HANDLE, LPDWORD) -> BOOL { return FALSE; };

    EXPECT_EQ(-1, prereq::ShellWithProgress(TestTool(L"exit:0").c_str(), session, L"Installing", 5, 1));
}

TEST(ShellWithProgress, UnstartableCommandGivesMinusOneAndAnErrorEventWithoutTicks) {
    OndexRegistryScope registry;
    registry.SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"INTF_ShellWithProgress", 0x102);
    TestPackage package;
    const MSIHANDLE session = package.Session();
    LogCapture log;
    MessageBoxScript boxes;

    EXPECT_EQ(-1, prereq::ShellWithProgress(kMissingProgram.c_str(), session, L"Installing", 5, 1));

    EXPECT_EQ((Ticks{Reset(5), kActionInfo}), log.Progress());
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(L"ShellWithProgress: CreateProcessA Failed", boxes.boxes()[0].caption);
    const wchar_t* prefix = L"ShellWithProgress:CreateProcessA";
    EXPECT_THAT(boxes.boxes()[0].text, ::testing::AnyOf(runtime::FormatErrMessage(ERROR_FILE_NOT_FOUND, prefix),
                                                        runtime::FormatErrMessage(ERROR_PATH_NOT_FOUND, prefix)));
}

// ---- ShellProgress and ShellProgressHidden ----

TEST(ShellProgress, DurationSizesTheBarAndAFailingCommandStillSucceeds) {
    const struct {
        const wchar_t* duration;
        int total;
        size_t adjustmentLines;
    } rows[] = {{L"", 60, 0}, {L"-5", 60, 1}, {L"4294967296", 2147483647, 1}};
    for (const auto& row : rows) {
        TestPackage package;
        package.Property(L"ShellCommand", TestTool(L"exit:5")).Property(L"ShellStatus", L"Installing SQL Express");
        if (*row.duration) package.Property(L"ShellDuration", row.duration);
        const MSIHANDLE session = package.Session();
        LogCapture log;

        EXPECT_EQ(0u, ShellProgress(session));

        EXPECT_EQ(Reset(row.total), log.Progress().at(0)) << row.duration;
        EXPECT_EQ(row.adjustmentLines, log.InfoLinesWith(L"ShellDuration is out of range").size()) << row.duration;
        EXPECT_THAT(ActionStartFields(log), ElementsAre(L"Ondex Setup", L"Installing SQL Express...", L"[1]"));
    }
}

TEST(ShellProgress, HiddenCommandLinesAreMaskedInTheTraceEvents) {
    const std::wstring secretCommand = TestTool(L"out:S3cretPassw0rd exit:5");
    TestPackage package;
    package.Property(L"ShellCommandHidden", secretCommand)
        .Property(L"ShellCommand", secretCommand)
        .Property(L"MsiHiddenProperties", L"ShellCommand")
        .Property(L"ShellDuration", L"7")
        .Property(L"TracerShellProgressHidden_TRACERFLAGS", L"4")
        .Property(L"TracerShellProgress_TRACERFLAGS", L"4");
    const MSIHANDLE session = package.Session();
    LogCapture log;

    for (const auto& [action, name] : {std::pair{&ShellProgressHidden, L"ShellProgressHidden"},
                                       std::pair{&ShellProgress, L"ShellProgress"}}) {
        MessageBoxScript boxes;
        EXPECT_EQ(0u, action(session));
        const std::wstring scope = std::wstring(name) + L": ";
        std::vector<std::pair<std::wstring, std::wstring>> events;
        for (const auto& box : boxes.boxes()) events.emplace_back(box.caption.substr(scope.size()), box.text);
        EXPECT_THAT(events, ElementsAre(std::pair{L"Welcome!", L"Entering Binary custom action"},
                                        std::pair{L"Executing SQL Express installer", runtime::kHiddenValue},
                                        std::pair{L"ShellProgress Result Code", L"5"},
                                        std::pair{L"GoodBye!", L"Exiting Binary custom action, result: 0"}));
    }
    EXPECT_EQ(Reset(7), log.Progress().at(0));
}

TEST(ShellProgress, NoPlantedSecretReachesTheLogTheTraceFileOrABoxWithEveryTraceScopeOn) {
    const std::wstring secret = L"S3cretPassw0rd";
    EveryTraceOn trace;
    {
        TestPackage package;
        package.Property(L"ShellCommandHidden", TestTool(L"exit:0 " + secret))
            .Property(L"ShellCommand", TestTool(L"exit:0 " + secret))
            .Property(L"MsiHiddenProperties", L"ShellCommand;CreateGroup");
        const MSIHANDLE session = package.Session();
        MessageBoxScript boxes;
        LogCapture log;
        EXPECT_EQ(0u, ShellProgressHidden(session));
        MsiSetPropertyW(session, L"UILevel", L"2");  // ShellProgress's boxes go to the engine, and so to the log
        EXPECT_EQ(0u, ShellProgress(session));
        const wchar_t S = L'\x0001';
        const std::wstring data = L"CreateGroup" + (S + secret) + S + secret + S + S + L"0" + S;
        MsiSetPropertyW(session, L"CustomActionData", data.c_str());
        EXPECT_EQ(0u, CreateGroup(session));
        // BathShell's data is hidden by nature; its box goes to the engine at this level.
        const std::wstring unstartable = L"Title|||C:\\NoSuchFolder\\tool.exe " + secret;
        MsiSetPropertyW(session, L"CustomActionData", unstartable.c_str());
        EXPECT_EQ(1603u, BathShell(session));

        ASSERT_FALSE(log.InfoLines().empty());
        for (const auto& message : log.messages()) EXPECT_EQ(std::wstring::npos, message.text.find(secret)) << message.text;
        for (const auto& box : boxes.boxes()) EXPECT_EQ(std::wstring::npos, box.text.find(secret)) << box.text;
    }
    const std::string tlk = trace.Text();
    EXPECT_NE(std::string::npos, tlk.find("Deleting MsiProperty ShellCommandHidden"));
    EXPECT_EQ(std::string::npos, tlk.find("S3cretPassw0rd"));
}

// ---- BathShell ----

class BathShellTest : public ::testing::Test {
protected:
    UINT Run(const std::wstring& data) {
        SetProperty(session_, L"CustomActionData", data);
        log_.Clear();
        return BathShell(session_);
    }

    TestPackage package_;
    MSIHANDLE session_ = package_.Session();
    LogCapture log_;
    MessageBoxScript boxes_;
};

TEST_F(BathShellTest, DataWithoutCommandsRunsNothing) {
    for (const std::wstring& data : {std::wstring(), std::wstring(L"||"), L"Title " + kMissingProgram}) {
        EXPECT_EQ(0u, Run(data));
        EXPECT_TRUE(log_.OfType(INSTALLMESSAGE_ACTIONSTART).empty()) << data.c_str();
    }
    // A final remainder of four characters is no command: the missing program is never tried.
    EXPECT_EQ(0u, Run(L"Title|||x.ex"));
    EXPECT_THAT(ActionStartFields(log_), ElementsAre(L"BathShell", L"Title", L"Title"));
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(BathShellTest, CancelAtItsActionStartIsAUserExitBeforeAnyTool) {
    log_.AnswerWith(INSTALLMESSAGE_ACTIONSTART, IDCANCEL);
    EXPECT_EQ(1602u, Run(L"Updating|||" + TestTool(L"exit:2")));
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(BathShellTest, ToolsRunInOrderUntilTheFirstFailureWhoseOutputIsShown) {
    EXPECT_EQ(1603u, Run(L"Updating|||" + TestTool(L"out:fine") + L"|||" + TestTool(L"\"out:Invalid configuration\" exit:2") +
                         L"|||" + kMissingProgram));

    ASSERT_EQ(1u, boxes_.boxes().size());  // the missing program was never tried
    EXPECT_EQ(L"Tool execution failed with the following error:\nInvalid configuration\r\n", boxes_.boxes()[0].text);
    EXPECT_EQ(L"Setup", boxes_.boxes()[0].caption);
    EXPECT_EQ(0x40030u, boxes_.boxes()[0].style);
}

TEST_F(BathShellTest, UnstartableToolIsExplainedInTheBoxWithoutItsHiddenCommandLine) {
    EXPECT_EQ(1603u, Run(L"Updating|||" + kMissingProgram));
    ASSERT_EQ(1u, boxes_.boxes().size());
    EXPECT_EQ(L"Tool execution failed with the following error:\n"
              L"An error occurred while trying to run command:\n**********\nReason:Error creating process.",
              boxes_.boxes()[0].text);
}

TEST_F(BathShellTest, InADeferredRunTheFailureGoesToTheEngineInsteadOfABox) {
    ScopedApiOverride mode;
    mode.api().MsiGetMode = [](MSIHANDLE, MSIRUNMODE asked) -> BOOL { return asked == MSIRUNMODE_SCHEDULED; };
    EXPECT_EQ(1603u, Run(L"Updating|||" + kMissingProgram));
    EXPECT_TRUE(boxes_.boxes().empty());
    const auto asked = log_.OfType(INSTALLMESSAGE_USER);
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), asked[0].style);
    EXPECT_NE(std::wstring::npos, asked[0].text.find(L"Reason:Error creating process."));
}

// ---- RunToolCaptured ----

TEST(RunToolCaptured, ExitZeroLeavesTheErrorTextAloneAndStandardErrorIsCaptured) {
    std::wstring errorText = L"earlier";
    EXPECT_EQ(1, prereq::RunToolCaptured(TestTool(L"out:ignored").c_str(), errorText));
    EXPECT_EQ(L"earlier", errorText);

    EXPECT_EQ(0, prereq::RunToolCaptured(TestTool(L"\"err:access denied\" exit:1").c_str(), errorText));
    EXPECT_EQ(L"access denied\r\n", errorText);
}

TEST(RunToolCaptured, FailingToolWritingFiftyMegabytesEndsAndReportsTheLastChunk) {
    constexpr unsigned long long kFiller = 50ull * 1024 * 1024;
    const std::wstring talkativeTool = TestTool(L"outbytes:" + std::to_wstring(kFiller) + L" \"out:last words\" exit:4");
    TempFolder folder;
    std::wstring errorText;
    {
        StdoutToFile echo(folder.File(L"echo.txt"));
        EXPECT_EQ(0, prereq::RunToolCaptured(talkativeTool.c_str(), errorText));
    }
    EXPECT_THAT(errorText, EndsWith(L"last words\r\n"));
    EXPECT_LE(errorText.size(), 4096u);

    WIN32_FILE_ATTRIBUTE_DATA echoed{};
    ASSERT_TRUE(GetFileAttributesExW(folder.File(L"echo.txt").c_str(), GetFileExInfoStandard, &echoed));
    EXPECT_EQ(kFiller + 12, echoed.nFileSizeLow + (static_cast<unsigned long long>(echoed.nFileSizeHigh) << 32));
}

TEST(RunToolCaptured, ErrorTextIsTheLast4096BytesOfOutputWrittenInPieces) {
    std::wstring errorText;
    EXPECT_EQ(0, prereq::RunToolCaptured(TestTool(L"outbytes:5000 sleep:300 \"out:last words\" exit:2").c_str(),
                                         errorText));
    EXPECT_EQ(std::wstring(4084, L'x') + L"last words\r\n", errorText);
}

TEST(RunToolCaptured, StandardOutputThatNobodyReadsIsNotWaitedFor) {
    platform::UniqueHandle unread, output;
    ASSERT_TRUE(CreatePipe(unread.put(), output.put(), nullptr, 0));
    const StdoutTo unreadOutput(output.get());
    std::wstring errorText;
    auto run = std::async(std::launch::async, [&] {
        return prereq::RunToolCaptured(TestTool(L"outbytes:1048576 exit:3").c_str(), errorText);
    });
    const bool ended = run.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    unread.reset();  // a blocked echo fails now
    EXPECT_TRUE(ended) << "the runner blocked on its own standard output";
    EXPECT_EQ(0, run.get());
}

TEST(RunToolCaptured, AProcessLeftWritingToThePipeDoesNotHoldTheRunner) {
    const StdoutTo noEcho(nullptr);
    std::wstring errorText;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, prereq::RunToolCaptured(TestTool(L"spawn:flood:30000 sleep:300 exit:6").c_str(), errorText));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(4096u, errorText.size());
}
