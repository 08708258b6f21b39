// Every seam call and COM-double method of the IIS actions' main paths made
// to fail in turn (the service and tool actions: iis_state_faults_test.cpp,
// InstallSSL: iis_settings_faults_test.cpp).
#include <gtest/gtest.h>

#include "iis/iis_fixture.h"
#include "iis/iis_settings.h"
#include "iis/web_deploy_text.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

// The code of the actions that hand on the failed creation of an IIS object.
constexpr UINT kDenied = static_cast<UINT>(E_ACCESSDENIED);
constexpr wchar_t kInetStp[] = L"SOFTWARE\\Microsoft\\InetStp";

// The doubles with the ASP.NET extension listed, still forbidden.
void AspNetListed(FaultWorld& w) {
    IisDoublesFor(w).PutMultiString(L"/LM/W3SVC", 2168,
                          {L"0,C:\\WINDOWS\\aspnet_isapi.dll,0,ASP.NET v2.0.50727,ASP.NET v2.0.50727"});
}

// The doubles with the application pools' key and sites 1 to 3.
MetabaseModel& SitesAndPools(FaultWorld& w) {
    MetabaseModel& model = IisDoublesFor(w);
    model.PutDword(L"/LM/W3SVC/AppPools", 9040, 1, 1);
    model.AddSite(L"1", L":80:", L"Default Web Site");
    model.PutDword(L"/LM/W3SVC/1", 6000, 20);
    model.AddSite(L"2", L":8080:", L"Reports");
    model.AddSite(L"3", L"10.0.0.1:8081:reports.test", L"Second");
    return model;
}

const FaultScenario kScenarios[] = {
    {"CheckLocalTCP", CheckLocalTCP, [](FaultWorld& w) { w.package.Property(L"CheckLocalTCPPORT", L"8080"); }, {}},
    {"ConfigureWeb", ConfigureWeb,
     [](FaultWorld& w) { w.package.Property(L"WEBSITEMBROOTID", L"3").Property(L"TCPPORT", L"8080"); }, {}},
    {"ConfigureWeb (deferred)", ConfigureWeb,
     [](FaultWorld& w) {
         AspNetListed(w);
         w.seam.api().MsiGetMode = [](MSIHANDLE, MSIRUNMODE mode) -> BOOL { return mode == MSIRUNMODE_SCHEDULED; };
         w.package.Property(L"CustomActionData", ondex::iis::WriteConfigureWebData({}));
     },
     {kDenied}},
    {"EnableASPIIS", EnableASPIIS,
     [](FaultWorld& w) {
         AspNetListed(w);
         w.package.Property(L"CustomActionData", L"ASP.NET v2.0");
     },
     {kDenied}},
    {"SetEnable64BitMode", SetEnable64BitMode, [](FaultWorld& w) { SitesAndPools(w); }, {}},
    {"GetValueEnable32BitModeOn64", GetValueEnable32BitModeOn64, [](FaultWorld& w) { SitesAndPools(w); }, {}},
    {"ProtectIISSettings", ProtectIISSettings, [](FaultWorld& w) { SitesAndPools(w); }, {}},
    {"RestoreIISSettings", RestoreIISSettings,
     [](FaultWorld& w) {
         SitesAndPools(w);
         OndexRegistryScope::SetDword(ondex::iis::kSnapshotKey, L"/LM/W3SVC/1", 20);
         OndexRegistryScope::SetDword(ondex::iis::kSnapshotKey, L"/LM/W3SVC/2", 5);
     },
     {}},
    {"PreInitIIsWebData", PreInitIIsWebData,
     [](FaultWorld& w) {
         AddWebTables(w.package);
         w.package.Property(L"VersionNT", L"601");
     },
     {}},
    {"SetTargetSiteId", SetTargetSiteId,
     [](FaultWorld& w) {
         SitesAndPools(w);
         w.package.Property(L"VersionNT", L"601");
     },
     {}},
    {"GetIIsServerBindings", GetIIsServerBindings,
     [](FaultWorld& w) {
         SitesAndPools(w);
         w.package.Property(L"WEBSITEMBROOTID", L"3");
     },
     {kDenied}},
    {"CheckWebConfig", CheckWebConfig,
     [](FaultWorld& w) {
         SitesAndPools(w);
         w.package.Property(L"EDIT_TCPPORT", L"8080").Property(L"EDIT_NEWWEBSITENAME", L"Reports");
     },
     {}},
    {"InitWebConfigGui", InitWebConfigGui, [](FaultWorld& w) { w.package.Property(L"VersionNT", L"601"); }, {}},
    {"StoreWebConfig", StoreWebConfig,
     [](FaultWorld& w) {
         w.package.Property(L"RADIO_WEBSITE", L"2").Property(L"RADIO_NEWWEBSITETYPE", L"1")
             .Property(L"EDIT_NEWWEBSITENAME", L"New").Property(L"EDIT_HOSTHEADER", L"new.host")
             .Property(L"EDIT_TCPPORT", L"8080");
     },
     {}},
    {"DeleteWebSiteStuff", DeleteWebSiteStuff,
     [](FaultWorld& w) {
         const std::wstring root = w.Make<TempFolder>().File(L"Reports");
         CreateDirectoryW(root.c_str(), nullptr);
         WriteFileBytes(root + L"\\default.htm", "x");
         MetabaseModel& model = SitesAndPools(w);
         model.PutString(L"/LM/W3SVC/2/ROOT", 3001, root + L"\\", 1, 2);
         model.AddKey(L"/LM/W3SVC/AppPools/Reports");
         w.package.Property(L"CustomActionData", L"Reports");
     },
     {}},
    {"DeleteVirtualRootXP", DeleteVirtualRootXP,
     [](FaultWorld& w) {
         IisDoublesFor(w).AddKey(L"/LM/W3SVC/1/ROOT/Reports");
         w.package.Property(L"CustomActionData", L"Reports");
     },
     {kDenied}},
    {"SetPiplineModeClassic", SetPiplineModeClassic,
     [](FaultWorld& w) {
         IisDoublesFor(w).AddKey(L"/LM/W3SVC/AppPools/ReportsPool");
         w.package.Property(L"CustomActionData", L"ReportsPool");
     },
     {kDenied}},
    {"GetPathWWWRoot", GetPathWWWRoot,
     [](FaultWorld& w) {
         constexpr wchar_t kRoot[] = L"D:\\Inetpub\\wwwroot";
         RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInetStp, L"PathWWWRoot", REG_SZ, kRoot, sizeof kRoot);
         w.AtEnd([] { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInetStp); });
     },
     {}},
    {"GetDotNetFrameworkPath", GetDotNetFrameworkPath,
     [](FaultWorld& w) {
         w.package.Property(L"DOTNETFRAMEWORKINSTALLROOT", L"C:\\Windows\\Microsoft.NET\\Framework64\\")
             .Property(L"MsiNetAssemblySupport", L"4.0.30319.1");
     },
     {}},
    {"Debug_ShowIIsWebQuery", Debug_ShowIIsWebQuery, NoSetup, {}},
};

}  // namespace

TEST(IisFaults, EverySeamCallAndDoubleMethodOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
