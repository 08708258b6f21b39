#include "iis/iis_services.h"

#include <vector>

#include "iis/iis_state_text.h"
#include "iis/metabase_internal.h"
#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/win_exception.h"

namespace ondex::iis {

namespace {

using platform::Api;
using platform::UniqueServiceHandle;
using runtime::CWinEExc;

constexpr char kStopKey[] = "INTF_DoStopService";
constexpr wchar_t kStopScope[] = L"DoStopService";
constexpr wchar_t kStartQueryFailed[] = L"StartService: QueryServiceStatusEx failed.";

[[noreturn]] void ThrowLastError(const wchar_t* text) { throw CWinEExc(text, ::GetLastError()); }

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return Api().QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                      sizeof status, &needed) != FALSE;
}

SERVICE_STATUS_PROCESS QueryOrThrow(SC_HANDLE service, const wchar_t* failure) {
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) ThrowLastError(failure);
    return status;
}

struct OpenedService {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
};

OpenedService OpenOrThrow(const wchar_t* name, DWORD managerAccess, DWORD serviceAccess, const wchar_t* managerFailure,
                          const wchar_t* serviceFailure) {
    OpenedService opened;
    opened.manager.reset(::OpenSCManagerW(nullptr, nullptr, managerAccess));
    if (!opened.manager) ThrowLastError(managerFailure);
    opened.service.reset(::OpenServiceW(opened.manager.get(), name, serviceAccess));
    if (!opened.service) ThrowLastError(serviceFailure);
    return opened;
}

// Waits while the service is in `pending`; false when its check point stalled.
bool WaitOutPending(SC_HANDLE service, DWORD pending, SERVICE_STATUS_PROCESS& status) {
    PendingClock clock(status.dwCheckPoint, Api().GetTickCount());
    while (status.dwCurrentState == pending) {
        Api().Sleep(PendingPauseMs(status.dwWaitHint));
        status = QueryOrThrow(service, kStartQueryFailed);
        if (status.dwCurrentState == pending && !clock.Moving(status.dwCheckPoint, status.dwWaitHint, Api().GetTickCount()))
            return false;
    }
    return true;
}

// ---- The stop ----

struct StopDeadline {
    DWORD start;
    DWORD timeout;
    DWORD Elapsed() const { return Api().GetTickCount() - start; }
};

DWORD StopFailed(const wchar_t* text, DWORD error) {
    detail::Report(kStopKey, kStopScope, L"Service control", text);
    return error;
}

// Queries until the service has stopped: 0, the query's error or 1460.
DWORD WaitUntilStopped(SC_HANDLE service, const StopDeadline& deadline) {
    for (;;) {
        SERVICE_STATUS_PROCESS status{};
        if (!QueryStatus(service, status)) return ::GetLastError();
        if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;
        const DWORD elapsed = deadline.Elapsed();
        if (elapsed > deadline.timeout) return ERROR_TIMEOUT;
        Api().Sleep(StopPollMs(status.dwWaitHint, elapsed, deadline.timeout));
    }
}

DWORD SendStopAndWait(SC_HANDLE service, const StopDeadline& deadline) {
    SERVICE_STATUS status{};
    if (!Api().ControlService(service, SERVICE_CONTROL_STOP, &status)) return ::GetLastError();
    return WaitUntilStopped(service, deadline);
}

std::vector<ENUM_SERVICE_STATUSW> ActiveDependents(SC_HANDLE service, std::vector<BYTE>& names, DWORD& error) {
    DWORD needed = 0, count = 0;
    error = ERROR_SUCCESS;
    if (Api().EnumDependentServicesW(service, SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return {};
    if ((error = ::GetLastError()) != ERROR_MORE_DATA) return {};
    names.resize(needed);
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(names.data());
    if (!Api().EnumDependentServicesW(service, SERVICE_ACTIVE, entries, needed, &needed, &count)) {
        error = ::GetLastError();
        return {};
    }
    error = ERROR_SUCCESS;
    return {entries, entries + count};
}

DWORD StopDependents(SC_HANDLE manager, SC_HANDLE service, const StopDeadline& deadline) {
    std::vector<BYTE> names;
    DWORD error = ERROR_SUCCESS;
    for (const ENUM_SERVICE_STATUSW& dependent : ActiveDependents(service, names, error)) {
        const UniqueServiceHandle opened(
            ::OpenServiceW(manager, dependent.lpServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
        if (!opened) return ::GetLastError();
        if (const DWORD stopped = SendStopAndWait(opened.get(), deadline)) return stopped;
    }
    return error;
}

DWORD StopRunningService(SC_HANDLE manager, SC_HANDLE service, BOOL stopDependents, const StopDeadline& deadline) {
    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) return ::GetLastError();
    if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;
    if (status.dwCurrentState == SERVICE_STOP_PENDING) return WaitUntilStopped(service, deadline);
    if (stopDependents)
        if (const DWORD error = StopDependents(manager, service, deadline)) return error;
    return SendStopAndWait(service, deadline);
}

}  // namespace

DWORD GetServiceState(const wchar_t* name) {
    const OpenedService opened = OpenOrThrow(name, GENERIC_READ, GENERIC_READ, L"GetServiceState: OpenSCManaged failed.",
                                             L"GetServiceState: OpenService failed.");
    return QueryOrThrow(opened.service.get(), L"GetServiceState: QueryServiceStatusEx failed.").dwCurrentState;
}

DWORD StartService(const wchar_t* name) {
    const OpenedService opened = OpenOrThrow(name, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS,
                                             L"StartService: OpenSCManager failed.", L"StartService: OpenService failed.");
    const SC_HANDLE service = opened.service.get();
    SERVICE_STATUS_PROCESS status = QueryOrThrow(service, kStartQueryFailed);
    if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING)
        return ERROR_SERVICE_ALREADY_RUNNING;
    if (!WaitOutPending(service, SERVICE_STOP_PENDING, status))
        throw CWinEExc(L"Waiting for SERVICE_STOP_PENDING failed.", ERROR_TIMEOUT);
    if (!::StartServiceW(service, 0, nullptr)) ThrowLastError(L"StartService: StartService failed.");
    status = QueryOrThrow(service, kStartQueryFailed);
    WaitOutPending(service, SERVICE_START_PENDING, status);
    if (status.dwCurrentState != SERVICE_RUNNING)
        throw CWinEExc(L"service current state does not equal SERVICE_RUNNING.", ERROR_SERVICE_NOT_ACTIVE);
    return ERROR_SUCCESS;
}

DWORD DoStopService(const wchar_t* name, BOOL stopDependents, DWORD timeoutMs) {
    const StopDeadline deadline{Api().GetTickCount(), timeoutMs};
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return StopFailed(L"OpenSCManager failed", ::GetLastError());
    const UniqueServiceHandle service(::OpenServiceW(
        manager.get(), name, SERVICE_STOP | SERVICE_START | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS));
    if (!service) return StopFailed(L"OpenService failed", ::GetLastError());
    const DWORD result = StopRunningService(manager.get(), service.get(), stopDependents, deadline);
    if (result != ERROR_SUCCESS) return StopFailed(L"StopService failed", result);
    detail::Trace(kStopKey, kStopScope, L"Service stopped.");
    return result;
}

}  // namespace ondex::iis
