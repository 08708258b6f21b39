#pragma once
// Running external programs from custom actions: with a moving progress bar,
// or with the output captured for an error report.
#include <windows.h>
#include <msi.h>

#include <string>

namespace ondex::prereq {

// Starts `commandLine` without a window and, while it runs, moves the
// installer's progress bar under the status text `progressText`: sized for
// `totalTicks`, one tick per `intervalSeconds`, starting over when it runs
// full. Returns the exit code; -1 when the process cannot be started (with an
// error event) or its exit code cannot be read (with a log line). Attaches the session layer for its own length, so the
// layer is detached when it returns.
int ShellWithProgress(const wchar_t* commandLine, MSIHANDLE hInstall, const wchar_t* progressText, int totalTicks,
                      int intervalSeconds);

// Runs a tool with its standard output and error going to a pipe. 1 when it
// exited with 0. Otherwise 0, and `errorText` is replaced by the last 4096
// bytes of the tool's output, or gets an explanation appended when the tool
// could not be run or followed. The pipe is read for at most a second after
// the tool has ended, even when a process it started still writes to it.
int RunToolCaptured(const wchar_t* commandLine, std::wstring& errorText);

// Sends an action-start message (name, description, template); returns the
// installer's answer.
int SendActionStart(MSIHANDLE hInstall, const wchar_t* action, const wchar_t* description,
                    const wchar_t* actionTemplate);

}  // namespace ondex::prereq
