#pragma once
// The frame every classic export runs in.
#include <windows.h>
#include <msi.h>

namespace ondex::runtime {

// An action's implementation: stores its result in `result` or throws an int.
using ActionImpl = void (*)(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

// Attaches the session layer, computes the trace flags of `exportName`,
// raises the entry, error and exit events, calls `impl`, detaches and
// returns the result.
// Any exception other than the abort int is logged as one error line and
// ends the action with 1603: nothing leaves the frame.
UINT RunClassicAction(MSIHANDLE hInstall, const char* exportName, ActionImpl impl) noexcept;

}  // namespace ondex::runtime
