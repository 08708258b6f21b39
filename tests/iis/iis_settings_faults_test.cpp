// Every seam call and COM-double method of InstallSSL's main path, the
// stand-in selfssl.exe giving the site its certificate, made to fail in turn.
#include <gtest/gtest.h>

#include "iis/iis_fixture.h"
#include "platform/seam.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

const FaultScenario kScenarios[] = {
    {"InstallSSL", InstallSSL,
     [](FaultWorld& w) {
         const std::wstring metabase = w.Make<TempFolder>().File(L"metabase.txt");
         SetEnvironmentVariableW(L"OXIIS_METABASE_FILE", metabase.c_str());
         w.AtEnd([] { SetEnvironmentVariableW(L"OXIIS_METABASE_FILE", nullptr); });
         MetabaseModel& model = IisDoublesFor(w);
         model.BackWithFile(metabase);
         model.AddSite(L"4", L":8080:", L"Reports");
         // One wait to the tool's end, so that the count does not follow the tool's start-up time.
         w.seam.api().WaitForSingleObject = [](HANDLE process, DWORD) {
             return ondex::platform::RealApi().WaitForSingleObject(process, INFINITE);
         };
         w.package.Property(L"CustomActionData", TestFolder() + L"selfssl|||8080|||almanac.ondex.test|||443");
     },
     {ERROR_INVALID_PARAMETER}},  // no certificate after the tool
};

}  // namespace

TEST(IisSettingsFaults, EverySeamCallAndDoubleMethodOfInstallSslsMainPathMayFail) { RunFaultTable(kScenarios); }
