#pragma once
// The command-runner actions (implementations of the entry frame's ActionImpl).
#include <windows.h>
#include <msi.h>

namespace ondex::prereq {

// Runs "ShellCommand" with the progress bar titled "ShellStatus", sized by
// "ShellDuration" (60 when empty); succeeds whatever the command does.
void ShellProgressImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
// The same for "ShellCommandHidden", whose command line never reaches a trace.
void ShellProgressHiddenImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

// Deferred: runs the tools listed in "CustomActionData" (title "|||" tool
// "|||" ...); the first that fails is shown in a box and fails the
// installation.
void BathShellImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::prereq
