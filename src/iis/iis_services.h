#pragma once
// Service control for the IIS Admin service: its state, a start that waits
// out a pending stop and start, and a stop of the service and its dependents
// within one time-out.
#include <windows.h>

namespace ondex::iis {

inline constexpr wchar_t kIisAdminService[] = L"IISADMIN";
inline constexpr DWORD kIisAdminStopTimeoutMs = 15000;

// The current state (SERVICE_STOPPED ...); throws runtime::CWinEExc.
DWORD GetServiceState(const wchar_t* name);
// Starts a stopped or stopping service and waits until it runs: 0, or 1056
// when it was neither stopped nor stopping; throws runtime::CWinEExc on a
// failure, 1460 when a stop stalls and 1062 when the service does not run in
// the end. (<winsvc.h> spells this StartServiceW; the namespace keeps it apart.)
DWORD StartService(const wchar_t* name);
// Stops the service (its active dependents first, when asked) and waits for
// it: 0, the failing call's error, or 1460 when `timeoutMs` have passed.
DWORD DoStopService(const wchar_t* name, BOOL stopDependents, DWORD timeoutMs);

}  // namespace ondex::iis
