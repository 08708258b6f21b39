// Every seam call of the prerequisite, shell and product actions' main paths
// made to fail in turn.
#include <gtest/gtest.h>

#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

const FaultScenario kScenarios[] = {
    {"IsUserAdmin", IsUserAdmin, NoSetup, {5}},
    {"GetCoreNumber", GetCoreNumber, NoSetup, {}},
    {"ScheduleLogoff", ScheduleLogoff,
     [](FaultWorld& w) {
         OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\Setup", L"IsNeedLogoff", 1);
         w.boxes.Answer(IDYES);
         w.seam.api().ExitWindowsEx = [](UINT, DWORD) -> BOOL { return TRUE; };
     },
     {}},
    {"ShellProgress", ShellProgress,
     [](FaultWorld& w) {
         w.package.Property(L"ShellCommand", TestTool(L"exit:0")).Property(L"ShellStatus", L"Installing");
     },
     {}},
    {"BathShell", BathShell,
     [](FaultWorld& w) {
         // One wait to the tool's end, so that the count does not follow the tool's start-up time.
         w.seam.api().WaitForSingleObject = [](HANDLE process, DWORD) {
             return ondex::platform::RealApi().WaitForSingleObject(process, INFINITE);
         };
         w.package.Property(L"CustomActionData", L"Updating|||" + TestTool(L"exit:0"));
     },
     {}},
};

}  // namespace

TEST(PrereqFaults, EverySeamCallOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
