// Every seam call of the local-group and share actions' main paths made to
// fail in turn.
#include <gtest/gtest.h>

#include <string>

#include "runtime/deferred_text.h"
#include "support/fault_run.h"
#include "system/firewall_doubles.h"
#include "system/local_groups_package.h"
#include "system/share_double.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

constexpr wchar_t S = ondex::runtime::kDeferredSeparator;

// Group creation and membership succeed.
void GroupsAccepted(FaultWorld& w) {
    w.seam.api().NetLocalGroupAdd = [](LPCWSTR, DWORD, LPBYTE, LPDWORD) -> NET_API_STATUS { return 0; };
    w.seam.api().NetLocalGroupAddMembers = [](LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD) -> NET_API_STATUS { return 0; };
}

// Two groups of an installed component, the second nested in the first;
// the session is costed.
void TwoLocalGroups(FaultWorld& w) {
    GroupsAccepted(w);
    LocalGroupPackage(w.package);
    w.package.Table(L"CustomAction").Row(L"CustomAction", {{L"Action", L"'CreateGroup'"}, {L"Type", L"1025"},
                                                            {L"Source", L"'OndexSetupCA'"}, {L"Target", L"'CreateGroup'"}});
    LocalGroupRows(w.package, {{L"A", L"Core", L"Operators", L"Run backups", L"", L"9"},
                               {L"B", L"Core", L"Readers", L"", L"Operators", L"5"}});
    CostedLocalGroupSession(w.package, L"S-1-5-21-1-2-3-1001");
}

// The firewall's advanced interface (Windows Vista and later) in the double.
void Firewall(FaultWorld& w) {
    w.seam.api().GetVersionExW = [](LPOSVERSIONINFOW version) -> BOOL { return version->dwMajorVersion = 6, TRUE; };
    w.Make<FirewallDouble>().rules = {{.name = L"Service", .application = L"C:\\H\\svc.exe"}};
}

// The share double with the catalog's share in it.
void CatalogShared(FaultWorld& w) { w.Make<ShareDouble>().Existing(L"Catalog", L"C:\\Catalog"); }

const FaultScenario kScenarios[] = {
    {"CreateLocalGroups", CreateLocalGroups, TwoLocalGroups, {}},
    {"CreateLocalGroupsImmediate", CreateLocalGroupsImmediate, TwoLocalGroups, {}},
    {"RemoveLocalGroups", RemoveLocalGroups, TwoLocalGroups, {}},
    {"CreateGroup", CreateGroup,
     [](FaultWorld& w) {
         GroupsAccepted(w);
         w.package.Property(L"CustomActionData",
                            L"CreateGroup" + (S + std::wstring(L"Ops")) + S + L"Operators" + S + L"Administrators" +
                                S + L"3" + S);
     },
     {}},
    {"RemoveGroup", RemoveGroup,
     [](FaultWorld& w) {
         // What the scheduling leaves for it; the removal changes nothing.
         w.package.Property(L"CustomActionData",
                            L"CreateGroup" + (S + std::wstring(L"Ops")) + S + S + S + L"15" + S);
     },
     {}},
    {"FirewallAddApplication", FirewallAddApplication,
     [](FaultWorld& w) {
         Firewall(w);
         w.package.Property(L"CustomActionData", L"Harbor|C:\\H\\svc.exe|Service|Backup service|80,443|Ondex|"
                                                 L"C:\\H\\ui.exe|UI|||");
     },
     {}},
    {"FirewallRemoveApplication", FirewallRemoveApplication,
     [](FaultWorld& w) {
         Firewall(w);
         w.package.Property(L"CustomActionData", L"Harbor|C:\\H\\svc.exe|Service|80,443|C:\\H\\ui.exe|UI|");
     },
     {}},
    {"CheckShareFolder", CheckShareFolder,
     [](FaultWorld& w) {
         CatalogShared(w);
         w.package.Property(L"CATALOGPATH", L"C:\\Catalog").Property(L"CATSHARENAME", L"Catalog");
     },
     {}},
    {"ShareLocalFolder", ShareLocalFolder,
     [](FaultWorld& w) {
         CatalogShared(w);
         w.package.Property(L"CustomActionData", L"C:\\Catalog|Catalog");
     },
     {ERROR_ACCESS_DENIED}},  // the failed share call's own code
    {"DelShareFolder", DelShareFolder,
     [](FaultWorld& w) {
         CatalogShared(w);
         w.package.Property(L"CustomActionData", L"Catalog");
     },
     {}},
};

}  // namespace

TEST(SystemFaults, EverySeamCallOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
