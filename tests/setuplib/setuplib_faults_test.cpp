// Every seam call and runtime-host double call of the extension actions' main
// paths made to fail in turn; each phased action in its deferred install stage.
#include <gtest/gtest.h>

#include "clr_double_control.h"
#include "oxa_packages.h"
#include "setuplib/oxsetuplib.h"
#include "support/fault_run.h"
#include "support/installed_product.h"

extern "C" UINT __stdcall OxaCheckSelectedDatabase(MSIHANDLE);
extern "C" UINT __stdcall OxaDetectMVXBeta(MSIHANDLE);
extern "C" UINT __stdcall OxaRegisterWMISvc(MSIHANDLE);
extern "C" UINT __stdcall OxaSQLAssemblyCaller(MSIHANDLE);

using namespace ondex::test;

namespace {

// A fresh install of `component` whose immediate phase and remove stage ran:
// the next run of `action` is the install stage.
void BeforeTheInstallStage(FaultWorld& w, void (*component)(TestPackage&), const wchar_t* assembly,
                           UINT(__stdcall* action)(MSIHANDLE), const wchar_t* storage) {
    const std::wstring code = NewProductCode();
    WithProductCode(w.package, code);
    component(w.package);
    const TempFolder& root = w.Make<TempFolder>();
    w.Make<ClrDoubleScope>();
    w.seam.api().MsiGetMode = ScriptedMode;
    const MSIHANDLE session = OpenCosted(w.package, root.Path());
    PlaceInstalledFile(root, assembly);
    g_mode = MSIRUNMODE_ADMIN;
    EXPECT_EQ(0u, action(session));
    const std::wstring folder = OxSetupLib::GetTempFolder() + code;
    MsiSetPropertyW(session, L"CustomActionData", (folder + L"\\" + storage).c_str());
    g_mode = MSIRUNMODE_SCHEDULED;
    EXPECT_EQ(0u, action(session));
    w.AtEnd([folder] {
        if (OxSetupLib::PathExists(folder)) OxSetupLib::DeleteDirectoryTree(folder, false);
    });
}

const FaultScenario kScenarios[] = {
    {"OxaCheckSelectedDatabase", OxaCheckSelectedDatabase,
     [](FaultWorld& w) {
         WithDatabaseChecker(w.package, w.Make<TempFolder>());
         ClrDoubleScope& clr = w.Make<ClrDoubleScope>();
         clr.Return(kValidator, true);
         clr.Return(kLockValidator, true);
     },
     {}},
    {"OxaDetectMVXBeta", OxaDetectMVXBeta, NoSetup, {}},  // beside the release the table installs
    {"OxaRegisterWMISvc", OxaRegisterWMISvc,
     [](FaultWorld& w) {
         BeforeTheInstallStage(w, WithWmiServer, L"Ondex.Harbor.WmiServer.Core.dll", OxaRegisterWMISvc,
                               L"OxRegisterWMISvc");
     },
     {}},
    {"OxaSQLAssemblyCaller", OxaSQLAssemblyCaller,
     [](FaultWorld& w) {
         BeforeTheInstallStage(w, WithDatabaseCreator, L"Ondex.Harbor.DBCreator.dll", OxaSQLAssemblyCaller,
                               L"OxSQLAssemblyCaller");
     },
     {}},
};

}  // namespace

TEST(SetupLibFaults, EverySeamCallAndRuntimeHostCallOfTheMainPathsMayFail) {
    ASSERT_TRUE(ClrDoubleJoinsFaultInjection());
    // The mail-explorer release, installed once: the engine keeps handles of an installation.
    const InstalledProduct release(L"{C3D2B1A0-9F8E-4D7C-8B6A-5F4E3D2C1B0A}", L"{8B4ED8BF-6746-44A5-B041-37C658EA36E1}",
                                   InstalledProduct::State::Installed, L"6.5.0.500");
    RunFaultTable(kScenarios);
}
