#pragma once
// The IIS Windows tests' fixture: the IIS doubles registered, a real session
// and its log. At the end no IIS object may be left and no method the
// doubles lack may have been called.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "iis/iis_doubles.h"
#include "platform/handles.h"
#include "support/fault_run.h"
#include "support/package.h"

namespace ondex::test {

using Lines = std::vector<std::wstring>;
using ondex::platform::UniqueServiceHandle;

struct IisTest : testing::Test {
    std::unique_ptr<IisDoubles> iis = std::make_unique<IisDoubles>();
    MetabaseModel& model = iis->model;
    TestPackage package;
    LogCapture log;

    void TearDown() override {
        iis.reset();
        EXPECT_EQ(0, IisDoubles::Live()) << "IIS objects are left";
        EXPECT_EQ(0, IisDoubles::Unexpected());
    }
    MSIHANDLE Session() { return package.Session(); }
    bool Logged(const std::wstring& part) const { return !log.InfoLinesWith(part).empty(); }
};

// The IIS doubles for one run of a fault table; no IIS object may be left
// after the action, whichever call failed.
inline MetabaseModel& IisDoublesFor(FaultWorld& w) {
    w.AtEnd([] { EXPECT_EQ(0, IisDoubles::Live()) << "IIS objects are left"; });
    return w.Make<IisDoubles>().model;
}

// The package's three web tables, each with a row for both web sites.
inline void AddWebTables(TestPackage& package) {
    package.Sql(L"CREATE TABLE `IIsWebSite` (`Web` CHAR(72) NOT NULL, `Description` CHAR(72) PRIMARY KEY `Web`)")
        .Sql(L"CREATE TABLE `IIsWebAddress` (`Address` CHAR(72) NOT NULL, `Web_` CHAR(72) PRIMARY KEY `Address`)")
        .Sql(L"CREATE TABLE `IIsWebVirtualDir` (`VirtualDir` CHAR(72) NOT NULL, `Web_` CHAR(72) "
             L"PRIMARY KEY `VirtualDir`)");
    for (const wchar_t* web : {L"PrismWeb", L"DefaultWebSite"}) {
        const std::wstring key = std::wstring(L"'") + web + L"'";
        package.Row(L"IIsWebSite", {{L"Web", key}, {L"Description", key}})
            .Row(L"IIsWebAddress", {{L"Address", L"'A" + key.substr(1)}, {L"Web_", key}})
            .Row(L"IIsWebVirtualDir", {{L"VirtualDir", L"'V" + key.substr(1)}, {L"Web_", key}});
    }
}

// ---- The real services of the IIS state tests ----

inline constexpr wchar_t kIisAdmin[] = L"IISADMIN";
inline constexpr wchar_t kDependent[] = L"OndexIisDependent";

inline UniqueServiceHandle Manager() { return UniqueServiceHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

inline DWORD StateOf(const wchar_t* name) {
    const UniqueServiceHandle manager = Manager();
    const UniqueServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    return service && QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

// Stops the service and waits until its process is gone too: Wine's service
// manager hands a start to a process that is still ending, which then never
// answers (1053).
inline ondex::platform::UniqueHandle ProcessOf(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS process{};
    DWORD size = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process, &size);
    return ondex::platform::UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, process.dwProcessId));
}

inline void StopAndWait(SC_HANDLE service) {
    const ondex::platform::UniqueHandle running = ProcessOf(service);
    SERVICE_STATUS status{};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
        Sleep(50);
    if (running) WaitForSingleObject(running.get(), 5000);
}

// %WinDir% is the folder of the stand-in iisreset.exe (its system32) for the
// object's life.
class StandInWindowsFolder {
public:
    const std::wstring path = TestFolder() + L"iisreset";
    StandInWindowsFolder() {
        GetEnvironmentVariableW(L"WinDir", saved_, MAX_PATH);
        SetEnvironmentVariableW(L"WinDir", path.c_str());
    }
    ~StandInWindowsFolder() { SetEnvironmentVariableW(L"WinDir", saved_); }

private:
    wchar_t saved_[MAX_PATH] = L"";
};

// "IISADMIN" and a service that depends on it, both the test service,
// removed (stopped first) with the object.
class RegisteredServices {
public:
    RegisteredServices() {
        Remove();
        const std::wstring binary = L"\"" + TestFolder() + L"ondex_test_service.exe\"";
        for (const wchar_t* name : {kIisAdmin, kDependent}) {
            const wchar_t* dependencies = name == kDependent ? L"IISADMIN\0" : nullptr;
            const UniqueServiceHandle created(CreateServiceW(
                Manager().get(), name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, dependencies, nullptr, nullptr));
            EXPECT_TRUE(created) << GetLastError();
        }
        WarmUp();
    }
    ~RegisteredServices() { Remove(); }
    static void Start(const wchar_t* name) {
        const UniqueServiceHandle service(OpenServiceW(Manager().get(), name, SERVICE_START | SERVICE_QUERY_STATUS));
        ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
        WaitRunning(name);
    }
    static void WaitRunning(const wchar_t* name) {
        for (int i = 0; i < 100 && StateOf(name) != SERVICE_RUNNING; ++i) Sleep(50);
    }

    static void Stop(const wchar_t* name) {
        const UniqueServiceHandle service(OpenServiceW(Manager().get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS));
        StopAndWait(service.get());
    }

private:
    // Wine's service manager can miss the first start in a fresh or idle
    // prefix (1053 after its time-out); one start and stop that may be
    // retried keeps that out of the cases.
    static void WarmUp() {
        const UniqueServiceHandle service(
            OpenServiceW(Manager().get(), kIisAdmin, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (StartServiceW(service.get(), 0, nullptr)) {
                WaitRunning(kIisAdmin);
                break;
            }
            if (GetLastError() != ERROR_SERVICE_REQUEST_TIMEOUT) break;
        }
        StopAndWait(service.get());
    }

    static void Remove() {
        const UniqueServiceHandle manager = Manager();
        for (const wchar_t* name : {kDependent, kIisAdmin}) {
            const UniqueServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
            if (!service) continue;
            StopAndWait(service.get());
            DeleteService(service.get());
        }
    }
};

}  // namespace ondex::test
