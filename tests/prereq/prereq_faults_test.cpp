// Every seam call of the prerequisite, shell and product actions' main paths
// made to fail in turn.
#include <gtest/gtest.h>

#include <string>

#include "support/fault_run.h"
#include "support/installed_product.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

// A product of a product line, installed by the engine for the whole table.
const std::wstring kProduct = NewGuidText(), kLine = NewGuidText();

void Shell(FaultWorld& w, const wchar_t* command, const wchar_t* status) {
    w.package.Property(command, TestTool(L"exit:0")).Property(status, L"Installing");
}

// A prerequisite whose check step runs a command, and whose install step
// runs another.
void ToolsPrerequisite(FaultWorld& w) {
    CreatePrerequisiteTables(w.package);
    w.package.Row(L"Prerequisites", {{L"Order", L"1"}, {L"PrerequisiteId", L"'TOOLS'"}, {L"Name", L"'Catalog tools'"},
                                     {L"StatusPropertyName", L"'TOOLS_STATUS'"}});
    for (const auto& [order, flags] : {std::pair{L"1", L"33"}, {L"2", L"34"}})
        w.package.Row(L"PrerequisiteActions", {{L"PrerequisiteId_", L"'TOOLS'"}, {L"Order", order},
                                               {L"ActionFlags", flags}, {L"Property", L"'TOOLS_CODE'"},
                                               {L"Action", Quoted(TestTool(L"exit:0"))},
                                               {L"ProgressText", L"'Installing tools'"}, {L"ExpectedDuration", L"3"}});
}

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
    {"ShellProgress", ShellProgress, [](FaultWorld& w) { Shell(w, L"ShellCommand", L"ShellStatus"); }, {}},
    {"ShellProgressHidden", ShellProgressHidden,
     [](FaultWorld& w) { Shell(w, L"ShellCommandHidden", L"ShellStatus"); }, {}},
    {"BathShell", BathShell,
     [](FaultWorld& w) {
         // One wait to the tool's end, so that the count does not follow the tool's start-up time.
         w.seam.api().WaitForSingleObject = [](HANDLE process, DWORD) {
             return ondex::platform::RealApi().WaitForSingleObject(process, INFINITE);
         };
         w.package.Property(L"CustomActionData", L"Updating|||" + TestTool(L"exit:0"));
     },
     {}},
    {"CheckPrerequisites", CheckPrerequisites, ToolsPrerequisite, {}},
    {"InstallPrerequisites", InstallPrerequisites, ToolsPrerequisite, {}},
    {"CheckDotNetFx20", CheckDotNetFx20,
     [](FaultWorld& w) { w.package.Property(L"CHKRQ_PRODDOTNETFX20_VERSIONNEED", L"2.0"); }, {}},
    {"InstallDotNetFx20", InstallDotNetFx20,
     [](FaultWorld& w) {
         w.package.Property(L"TOOLDIR", TestFolder()).Property(L"DOTNETFX_EXE", L"[TOOLDIR]ondex_testtool.exe");
     },
     {}},
    {"HideCancelButton", HideCancelButton, NoSetup, {}},
    {"ShowCancelButton", ShowCancelButton, NoSetup, {}},
    {"AskOKCancel", AskOKCancel,
     [](FaultWorld& w) {
         w.package.Property(L"AskOKCancelText", L"Stop the service?");
         w.boxes.Answer(IDOK);
     },
     {}},
    {"GetInstallationSummary", GetInstallationSummary,
     [](FaultWorld& w) {
         w.package.Property(L"INSTALLDIR", L"C:\\Ondex\\").Property(L"REPORTVIEWERACTION", L"LocalInstall");
         w.package.Property(L"RVINSTALLDIR", L"C:\\Viewer\\").Property(L"CREATEQUICKLAUNCHICON", L"1");
     },
     {}},
    {"IsProductLineInstalled", IsProductLineInstalled,
     [](FaultWorld& w) { w.package.Property(L"IsInstUpgradeCode", kLine); }, {}},
    {"IsProductInstalled", IsProductInstalled,
     [](FaultWorld& w) { w.package.Property(L"IsInstProductCode", kProduct); }, {}},
    {"GetMsiPath", GetMsiPath, [](FaultWorld& w) { w.package.Property(L"GTMUpgradeCode", kLine); }, {}},
};

}  // namespace

TEST(PrereqFaults, EverySeamCallOfTheMainPathsMayFail) {
    const InstalledProduct product(kProduct, kLine);
    RunFaultTable(kScenarios);
}
