// Every seam call of the local-group and share actions' main paths made to
// fail in turn.
#include <gtest/gtest.h>

#include <string>

#include "runtime/deferred_text.h"
#include "support/fault_run.h"
#include "system/share_double.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

constexpr wchar_t S = ondex::runtime::kDeferredSeparator;

// The share double with the catalog's share in it.
void CatalogShared(FaultWorld& w) { w.Make<ShareDouble>().Existing(L"Catalog", L"C:\\Catalog"); }

const FaultScenario kScenarios[] = {
    {"CreateGroup", CreateGroup,
     [](FaultWorld& w) {
         w.seam.api().NetLocalGroupAdd = [](LPCWSTR, DWORD, LPBYTE, LPDWORD) -> NET_API_STATUS { return 0; };
         w.seam.api().NetLocalGroupAddMembers = [](LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD) -> NET_API_STATUS {
             return 0;
         };
         w.package.Property(L"CustomActionData",
                            L"CreateGroup" + (S + std::wstring(L"Ops")) + S + L"Operators" + S + L"Administrators" +
                                S + L"3" + S);
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
