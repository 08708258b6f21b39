#pragma once
// Developer diagnostics: the process-wide tracer and its channels (trace
// file, message box, installer log), trace-flag lookup, error texts, and the
// time-stamped installer-log line.
#include <windows.h>
#include <msi.h>

#include <string>

#include "runtime/trace_file.h"
#include "runtime/trace_flags.h"

namespace ondex::runtime {

// Shared event buffers: callers format into these, then call Notify.
inline constexpr size_t kEventTextChars = 4096;
inline constexpr size_t kEventCaptionChars = 1024;
extern wchar_t g_eventText[kEventTextChars];
extern wchar_t g_eventCaption[kEventCaptionChars];

class TolkaTracer {
public:
    TolkaTracer();
    virtual ~TolkaTracer();

    // Delivers the event in the shared buffers to the channels of `flags`.
    // Returns 1602 (Cancel), -1 (Try Again: debugger break wanted) or 0.
    int Notify(UINT flags, const wchar_t* text, const wchar_t* caption);
    void WriteLogLine(UINT flags);
    void OpenLogFile(const std::wstring& path);

    const std::wstring& LogFileName() const { return logFileName_; }
    bool Opened() const { return opened_; }
    // Flushes and closes the trace file, forgets that it was opened and
    // restores the initial name "tlk" (tests; unloading closes it too).
    void Close();

private:
    std::wstring logFileName_ = L"tlk";
    bool opened_ = false;
    TraceFileStream stream_;
};

TolkaTracer& Tracer();

// Flags of a trace key: the settings value under HKLM
// "SOFTWARE\Ondex\setupdebug" (0x101 when absent), then the two masks.
UINT GetTracerFlags(const char* traceKey);

// Formats "<scope>: <title>" into the caption buffer and the text into the
// text buffer (Windows printf conventions: %s takes a wide string), raises
// the event with (flags & TF_CHANNELS) | level and applies the event-answer
// rule: -1 breaks into an attached debugger (and goes on), 0 goes on, any other answer is thrown
// as the action's result (TraceAbort).
void RaiseEvent(UINT flags, UINT level, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...);

// Same as RaiseEvent when `flags` has `level`; does nothing otherwise.
void TraceIf(UINT flags, UINT level, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...);

// Assertion box: shown only when `flags` has TF_ASSERT; OK/Cancel with the
// error icon, not through the channels. Cancel breaks into an attached debugger.
void AssertBox(UINT flags, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...);

// The system's message text of an error code (inserts ignored, default
// language); empty when the system has none.
std::wstring SystemMessageText(DWORD code);

// prefix + ": (0x%X): " + system text of the code.
std::wstring FormatErrMessage(DWORD code, const wchar_t* prefix);

// Bounded copy that truncates; returns 0.
int tstrcpy_s(const wchar_t* scope, const wchar_t* bufferName, wchar_t* destination, size_t capacity,
              const wchar_t* source);

// "Tolka HH:MM:SS: text" as an information message; 1 when sent.
int LogTimestamped(MSIHANDLE hInstall, const wchar_t* text);
// The same line with FormatErrMessage of `code` and `prefix`.
void LogTimestampedError(MSIHANDLE hInstall, DWORD code, const wchar_t* prefix);

// Thrown by implementations to end their action with a result code.
using TraceAbort = int;

}  // namespace ondex::runtime
