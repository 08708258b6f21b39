// Every seam call of the account actions' main paths made to fail in turn.
#include <gtest/gtest.h>

#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

void Accounts(FaultWorld& w) {
    w.seam.api().Sleep = [](DWORD) {};  // the logon right's retries
    w.package.Property(L"CREDUIACCOUNTNAME", L".\\svc").Property(L"CREDUIPASSWORD", L"pw");
    w.package.Property(L"SERVICEACCOUNT", L".\\svc").Property(L"SERVICEPASSWORD", L"pw");
}

const FaultScenario kScenarios[] = {
    {"CheckCredentials", CheckCredentials, Accounts, {}},
    {"CheckSetServiceCredentials", CheckSetServiceCredentials, Accounts, {}},
    {"PopulateUserAccounts", PopulateUserAccounts, [](FaultWorld& w) { w.package.Table(L"ComboBox"); }, {}},
};

}  // namespace

TEST(AccountsFaults, EverySeamCallOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
