#pragma once
// Message boxes of the library. Where nobody could answer a modal box (a
// deferred, rollback or commit run, or an immediate run at UI level 2 or 3)
// the box goes to the engine instead, which shows it where a user interface
// exists and answers at once in a silent run.
#include <windows.h>
#include <msi.h>

namespace ondex::runtime {

// True when a box of this session must go through MsiProcessMessage. Deferred
// phases are told by the run mode alone: they cannot read "UILevel".
bool BoxGoesToEngine(MSIHANDLE hInstall);

// The button a box of `style` answers with when nobody presses one.
int DefaultButtonOf(UINT style);

// Shows the box (owner, text, caption, MB_* style) the way the session allows
// and returns the button; a box the engine did not show counts as answered
// with its default button. Without a session the box is shown directly.
int ShowBox(MSIHANDLE hInstall, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
// The same; a box the engine did not show counts as answered `unanswered`
// (a question whose default would do harm in an unattended run).
int ShowBox(MSIHANDLE hInstall, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int unanswered);

// Breaks into the debugger when one is attached; otherwise does nothing.
void BreakIfDebugged();

}  // namespace ondex::runtime
