#include "prereq/shell.h"

#include <msiquery.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/handles.h"
#include "platform/seam.h"
#include "prereq/shell_text.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::prereq {

namespace {

using platform::UniqueHandle;
using platform::UniqueMsiHandle;

constexpr char kShellTraceKey[] = "INTF_ShellWithProgress";
constexpr wchar_t kShellScope[] = L"ShellWithProgress";

// First field of a progress record.
constexpr int kProgressReset = 0;
constexpr int kProgressActionInfo = 1;
constexpr int kProgressIncrement = 2;

// Pauses while the captured tool's pipe is empty: short while output flows,
// growing while the tool is quiet.
constexpr DWORD kShortestDrainPauseMs = 1;
constexpr DWORD kLongestDrainPauseMs = 64;
// How long the pipe is still read once the tool has ended: what the tool left
// takes a moment; a process it started may hold the pipe and write forever.
constexpr DWORD kDrainAfterExitMs = 1000;
// One read takes up to 64 KB: each call on the pipe is a round trip to the
// system, so a talkative tool is drained in few of them.
constexpr size_t kOutputChunkBytes = 64 * 1024;
constexpr size_t kOutputTailBytes = 4096;

struct ChildProcess {
    UniqueHandle process;
    UniqueHandle thread;
    explicit operator bool() const { return static_cast<bool>(process); }
};

SECURITY_ATTRIBUTES InheritableAttributes() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

ChildProcess Adopt(const PROCESS_INFORMATION& info) {
    return {UniqueHandle(info.hProcess), UniqueHandle(info.hThread)};
}

std::optional<DWORD> ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    if (!platform::Api().GetExitCodeProcess(process, &code)) return std::nullopt;
    return code;
}

// ---- Progress bar ----

int SendProgress(MSIHANDLE hInstall, std::initializer_list<int> fields) {
    UniqueMsiHandle record(MsiCreateRecord(static_cast<UINT>(fields.size())));
    UINT field = 1;
    for (const int value : fields) MsiRecordSetInteger(record.get(), field++, value);
    return MsiProcessMessage(hInstall, INSTALLMESSAGE_PROGRESS, record.get());
}

void ResetProgressBar(MSIHANDLE hInstall, int totalTicks) {
    SendProgress(hInstall, {kProgressReset, totalTicks, 0, 0});
    SendProgress(hInstall, {kProgressActionInfo, 1, 0});
}

DWORD TickWait(int intervalSeconds) {
    const UsedValue<std::uint32_t> wait = ProgressTickWait(intervalSeconds);
    if (wait.adjusted)
        runtime::WcaLog(runtime::LOGMSG_STANDARD, "Progress update interval %d s is out of range; ticking every %u ms.",
                        intervalSeconds, static_cast<unsigned>(wait.value));
    return wait.value;
}

// Ticks the bar once per interval until the process ends; false when the
// wait fails (the process may still run, so it has no exit code yet).
bool ProgressWhileRunning(HANDLE process, MSIHANDLE hInstall, int totalTicks, int intervalSeconds) {
    const DWORD timeout = TickWait(intervalSeconds);
    ProgressTicks ticks(totalTicks);
    DWORD waited;
    while ((waited = platform::Api().WaitForSingleObject(process, timeout)) == WAIT_TIMEOUT) {
        const bool counted =
            ticks.SendsIncrements() && SendProgress(hInstall, {kProgressIncrement, 1, 0}) != IDCANCEL;
        if (ticks.AfterTimeout(counted)) ResetProgressBar(hInstall, totalTicks);
    }
    return waited == WAIT_OBJECT_0;
}

// Starts the command through the ANSI entry point, without a window; the
// last error is kept in `error` when it fails.
ChildProcess StartWithoutWindow(const wchar_t* commandLine, DWORD& error) {
    std::string ansiLine = runtime::ToAnsi(commandLine);
    SECURITY_ATTRIBUTES processAttributes = InheritableAttributes();
    SECURITY_ATTRIBUTES threadAttributes = InheritableAttributes();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, ansiLine.data(), &processAttributes, &threadAttributes, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        error = GetLastError();
        return {};
    }
    return Adopt(info);
}

// ---- Captured tools ----

struct CapturePipe {
    UniqueHandle read;
    UniqueHandle write;
};

// An inheritable pipe whose read end stays with this process.
CapturePipe OpenCapturePipe(std::wstring& errorText) {
    CapturePipe pipe;
    SECURITY_ATTRIBUTES attributes = InheritableAttributes();
    if (!CreatePipe(pipe.read.put(), pipe.write.put(), &attributes, 0))
        errorText += L"The Setup was unable to create pipe. ";
    if (!SetHandleInformation(pipe.read.get(), HANDLE_FLAG_INHERIT, 0))
        errorText += L"The Setup was unable to SetHandleInformation. ";
    return pipe;
}

// Starts the tool, hidden, with standard output and error on `output`.
ChildProcess StartCaptured(const wchar_t* commandLine, HANDLE output, ToolRunStatus& failure) {
    try {
        std::wstring mutableLine(commandLine);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdOutput = output;
        startup.hStdError = output;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &info)) {
            failure = ToolRunStatus::StartFailed;
            return {};
        }
        return Adopt(info);
    } catch (const std::exception&) {
        failure = ToolRunStatus::StartException;
        return {};
    }
}

// Standard output only when writing to it cannot block: a console or a file.
// Under the installer it may be a pipe that nobody reads.
HANDLE EchoTarget() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return nullptr;
    const DWORD type = GetFileType(output);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_DISK ? output : nullptr;
}

// Reads a tool's output as it arrives, passes it on to this process's
// standard output (while that works) and keeps its last bytes.
class OutputTail {
public:
    explicit OutputTail(HANDLE pipe) : pipe_(pipe), echo_(EchoTarget()) {}

    // Reads one chunk when the pipe holds data; false when it holds none or is closed.
    bool ReadAvailable() {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr) || available == 0) return false;
        DWORD read = 0;
        if (!ReadFile(pipe_, chunk_.data(), static_cast<DWORD>(chunk_.size()), &read, nullptr) || read == 0)
            return false;
        Echo(read);
        KeepTail(read);
        return true;
    }
    bool HasOutput() const { return !tail_.empty(); }
    std::wstring TailText() const { return runtime::FromAnsi(tail_); }

private:
    // The last kOutputTailBytes of all output read so far.
    void KeepTail(DWORD size) {
        const size_t kept = std::min<size_t>(size, kOutputTailBytes);
        tail_.append(chunk_.data() + (size - kept), kept);
        if (tail_.size() > kOutputTailBytes) tail_.erase(0, tail_.size() - kOutputTailBytes);
    }
    void Echo(DWORD size) {
        DWORD written = 0;
        if (echo_ && !WriteFile(echo_, chunk_.data(), size, &written, nullptr)) echo_ = nullptr;
    }

    HANDLE pipe_;
    HANDLE echo_;
    std::vector<char> chunk_ = std::vector<char>(kOutputChunkBytes);
    std::string tail_;
};

// Keeps the pipe empty while the tool runs, so that a talkative tool never
// blocks on a full pipe, then takes what is left for a bounded time.
void DrainUntilExit(HANDLE process, OutputTail& output) {
    const auto& api = platform::Api();
    for (DWORD pause = kShortestDrainPauseMs;;) {
        const bool flowing = output.ReadAvailable();
        if (api.WaitForSingleObject(process, flowing ? 0 : pause) != WAIT_TIMEOUT) break;
        pause = flowing ? kShortestDrainPauseMs : std::min(pause * 2, kLongestDrainPauseMs);
    }
    const DWORD exited = api.GetTickCount();
    while (api.GetTickCount() - exited < kDrainAfterExitMs && output.ReadAvailable()) {
    }
}

}  // namespace

int SendActionStart(MSIHANDLE hInstall, const wchar_t* action, const wchar_t* description,
                    const wchar_t* actionTemplate) {
    UniqueMsiHandle record(MsiCreateRecord(3));
    MsiRecordSetStringW(record.get(), 1, action);
    MsiRecordSetStringW(record.get(), 2, description);
    MsiRecordSetStringW(record.get(), 3, actionTemplate);
    return MsiProcessMessage(hInstall, INSTALLMESSAGE_ACTIONSTART, record.get());
}

int ShellWithProgress(const wchar_t* commandLine, MSIHANDLE hInstall, const wchar_t* progressText, int totalTicks,
                      int intervalSeconds) {
    const runtime::WcaInitializer attached(hInstall, kShellTraceKey);
    const UINT flags = runtime::GetTracerFlags(kShellTraceKey);
    const std::wstring description = std::wstring(progressText) + L"...";
    ResetProgressBar(hInstall, totalTicks);
    SendActionStart(hInstall, L"Ondex Setup", description.c_str(), L"[1]");

    DWORD error = 0;
    const ChildProcess child = StartWithoutWindow(commandLine, error);
    if (!child) {
        const std::wstring text = runtime::FormatErrMessage(error, L"ShellWithProgress:CreateProcessA");
        runtime::TraceIf(flags, runtime::TF_ERROR, kShellScope, L"CreateProcessA Failed", L"%s", text.c_str());
        return -1;
    }
    const bool ended = ProgressWhileRunning(child.process.get(), hInstall, totalTicks, intervalSeconds);
    const std::optional<DWORD> exitCode = ended ? ExitCodeOf(child.process.get()) : std::nullopt;
    if (!exitCode) {
        runtime::WcaLog(runtime::LOGMSG_STANDARD, "The exit code of the command cannot be read: error %u.",
                        static_cast<unsigned>(platform::Api().GetLastError()));
        return -1;
    }
    return static_cast<int>(*exitCode);
}

int RunToolCaptured(const wchar_t* commandLine, std::wstring& errorText) {
    CapturePipe pipe = OpenCapturePipe(errorText);
    ToolRunStatus failure{};
    const ChildProcess tool = StartCaptured(commandLine, pipe.write.get(), failure);
    if (!tool) {
        errorText += ToolRunExplanation(failure, commandLine);
        return 0;
    }
    pipe.write.reset();  // the tool now holds the only write end: its exit ends the output
    OutputTail output(pipe.read.get());
    DrainUntilExit(tool.process.get(), output);

    const std::optional<DWORD> exitCode = ExitCodeOf(tool.process.get());
    if (!exitCode) {
        errorText += ToolRunExplanation(ToolRunStatus::ExitCodeUnknown, commandLine);
        return 0;
    }
    if (*exitCode == 0) return 1;
    if (output.HasOutput()) errorText = output.TailText();
    return 0;
}

}  // namespace ondex::prereq
