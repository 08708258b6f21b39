// Every seam call and COM-double method of the IIS actions' main paths made
// to fail in turn.
#include <gtest/gtest.h>

#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

const FaultScenario kScenarios[] = {
    {"CheckLocalTCP", CheckLocalTCP, [](FaultWorld& w) { w.package.Property(L"CheckLocalTCPPORT", L"8080"); }, {}},
};

}  // namespace

TEST(IisFaults, EverySeamCallAndDoubleMethodOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
