// Every seam call and COM-double method of the main paths of the actions that
// need the real "IISADMIN" test service or the stand-in iisreset.exe, made to
// fail in turn.
#include <gtest/gtest.h>

#include "iis/iis_fixture.h"
#include "platform/seam.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

// IISADMIN running for one run, then stopped with its process ended (Wine
// hands a start to a process still ending, which never answers).
class RunningIisAdmin {
public:
    RunningIisAdmin() {
        RegisteredServices::Start(kIisAdmin);
        process_ = ProcessOf(UniqueServiceHandle(OpenServiceW(Manager().get(), kIisAdmin, SERVICE_QUERY_STATUS)).get());
    }
    ~RunningIisAdmin() {
        RegisteredServices::Stop(kIisAdmin);
        if (process_) WaitForSingleObject(process_.get(), 5000);
    }

private:
    ondex::platform::UniqueHandle process_;
};

const FaultScenario kScenarios[] = {
    {"CheckIISState", CheckIISState,
     [](FaultWorld& w) {
         w.Make<RunningIisAdmin>();
         MetabaseModel& model = IisDoublesFor(w);
         model.AddSite(L"1", L":80:", L"Default Web Site");
         model.PutDword(L"/LM/W3SVC/1", 1016, 4, 16);  // stopped: the user lets it start
         w.boxes.Answer(IDYES);
         w.package.Property(L"CheckIISStatePort", L"80");
     },
     {}},
    {"StopIISAdminService", StopIISAdminService, [](FaultWorld& w) { w.Make<RunningIisAdmin>(); }, {}},
    {"IIsReset", IIsReset,
     [](FaultWorld& w) {
         w.Make<StandInWindowsFolder>();
         // One wait to the tool's end, so that the count does not follow the tool's start-up time.
         w.seam.api().WaitForSingleObject = [](HANDLE process, DWORD) {
             return ondex::platform::RealApi().WaitForSingleObject(process, INFINITE);
         };
     },
     {}},
};

}  // namespace

TEST(IisStateFaults, EverySeamCallAndDoubleMethodOfTheMainPathsMayFail) {
    const RegisteredServices services;
    RunFaultTable(kScenarios);
}
