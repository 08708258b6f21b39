// The runtime host against Wine's own mscoree.dll (no runtime) and against
// the runtime-host double beside the test program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "clr_double_control.h"
#include "setuplib/clr_host.h"

namespace {

using OxSetupLib::OxArguments;
using OxSetupLib::OxClrHost;
using OxSetupLib::OxComError;
using OxSetupLib::OxVariant;
using OxSetupLib::OxWinError;
using ondex::test::ClrDoubleScope;
using testing::ElementsAre;

constexpr wchar_t kAssembly[] = L"C:\\setup\\Ondex.Harbor.DBCreator.dll";
constexpr wchar_t kCreator[] = L"Ondex.Harbor.DBCreator.CBackupCreator";
const char kBind[] =
    "CorBindToRuntimeEx v4.0.30319 wks 16 {CB2F6723-AB3A-11D2-9C40-00C04FA30A3E} {CB2F6722-AB3A-11D2-9C40-00C04FA30A3E}";

// The error that calling Create raises; S_OK (and a failure) when none.
OxComError CreateFails(const OxClrHost& host) {
    try {
        host.CallMethod(kCreator, L"Create", {});
    } catch (const OxComError& error) {
        return error;
    }
    ADD_FAILURE() << "no exception";
    return OxComError(S_OK);
}

// The host looks in the system folder only: the double beside the program
// is not found, and Wine's own mscoree.dll is not loaded (mscoree=n).
TEST(ClrHostWithoutRuntime, AMissingRuntimeLibraryIsTheLoadErrorAndOneBesideTheProgramIsNotTaken) {
    if (::GetModuleHandleW(L"mscoree.dll")) GTEST_SKIP() << "the double is already loaded in this process";
    DWORD code = 0;
    bool fromRuntime = false;
    try {
        OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319");
    } catch (const OxComError&) {
        fromRuntime = true;
    } catch (const OxWinError& error) {
        code = error.Code();
    }
    EXPECT_FALSE(fromRuntime);
    EXPECT_NE(code, 0u);
}

TEST(ClrHost, StartsRuntimeAndDomainThenUnloadsAndStopsWhenDestroyed) {
    ClrDoubleScope clr;
    { OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319"); }
    EXPECT_THAT(clr.Calls(), ElementsAre(kBind, "Start", "CreateDomainSetup", "put_ApplicationBase C:\\setup",
                                         "CreateDomainEx OndexSetupv4.0.30319 base=C:\\setup",
                                         "UnloadDomain OndexSetupv4.0.30319", "Stop"));
    EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);

    ClrDoubleScope withoutBase;
    { OxClrHost host(kAssembly, L"", L"v4.0.30319"); }
    EXPECT_THAT(withoutBase.Calls(), testing::Contains("CreateDomainEx OndexSetupv4.0.30319 base="));
    EXPECT_THAT(withoutBase.Calls(), testing::Not(testing::Contains(testing::StartsWith("put_ApplicationBase"))));
}

TEST(ClrHost, MethodsRunOnInstancesFromTheAssemblyWithArgumentsInCallOrderAndReturnTheirResult) {
    ClrDoubleScope clr;
    clr.Return(L"Ondex.Harbor.DBCreator.CBackupValidator.Validate", false);
    clr.Return(L"Ondex.Harbor.DBCreator.CBackupLockValidator.Validate", true);
    {
        OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319");
        const OxVariant result =
            host.CallMethod(kCreator, L"Create",
                            OxArguments(OxVariant::Int(2), OxVariant::Text(L"SQLHOST"), OxVariant::Text(L""),
                                        OxVariant::Bool(false)));
        EXPECT_EQ(result.Get().vt, VT_EMPTY);
        const OxVariant refused = host.CallMethod(L"Ondex.Harbor.DBCreator.CBackupValidator", L"Validate", {});
        EXPECT_EQ(refused.Get().vt, VT_BOOL);
        EXPECT_FALSE(refused.IsTrue());
        EXPECT_TRUE(host.CallMethod(L"Ondex.Harbor.DBCreator.CBackupLockValidator", L"Validate", {}).IsTrue());
    }
    const std::vector<std::string> calls = clr.Calls();
    ASSERT_GE(calls.size(), 9u);
    EXPECT_THAT(std::vector<std::string>(calls.begin() + 5, calls.begin() + 9),
                ElementsAre("CreateInstanceFrom C:\\setup\\Ondex.Harbor.DBCreator.dll Ondex.Harbor.DBCreator.CBackupCreator",
                            "Unwrap Ondex.Harbor.DBCreator.CBackupCreator", "GetIDsOfNames Create 2048",
                            "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:2, bstr:SQLHOST, bstr:, bool:false)"));
    EXPECT_EQ(calls.back(), "Stop");
    EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);
}

TEST(ClrHost, ManagedExceptionBringsItsDescriptionAndCodeAndOtherFailuresTheOffendingArgument) {
    ClrDoubleScope clr;
    clr.Throw(L"Ondex.Harbor.DBCreator.CBackupCreator.Create", 0x80131600, L"Cannot open database \"Harbor\".");
    {
        OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319");
        const OxComError error = CreateFails(host);
        EXPECT_TRUE(error.IsManagedException());
        EXPECT_EQ(error.ExceptionCode(), static_cast<HRESULT>(0x80131600));
        EXPECT_EQ(error.Text(), L"Cannot open database \"Harbor\".");
    }
    EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);

    ClrDoubleScope failing;
    failing.Fail(L"Invoke", DISP_E_TYPEMISMATCH, 3);
    OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319");
    const OxComError error = CreateFails(host);
    EXPECT_FALSE(error.IsManagedException());
    EXPECT_EQ(error.Result(), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(error.ArgumentIndex(), 3u);
}

TEST(ClrHost, FailingCallsSurfaceTheirHresultAndLeaveNothingRunning) {
    struct Case {
        const wchar_t* call;
        HRESULT code;
        const char* lastCall;  // the runtime is stopped only once started
    };
    for (const Case& c : {Case{L"CorBindToRuntimeEx", static_cast<HRESULT>(0x80131700), "CorBindToRuntimeEx"},
                          Case{L"Start", E_OUTOFMEMORY, "Start"},
                          Case{L"CreateDomainEx", static_cast<HRESULT>(0x80131509), "Stop"}}) {
        SCOPED_TRACE(testing::Message() << c.lastCall);
        ClrDoubleScope clr;
        clr.Fail(c.call, c.code);
        try {
            OxClrHost host(kAssembly, L"C:\\setup", L"v4.0.30319");
            ADD_FAILURE() << "no exception";
        } catch (const OxComError& error) {
            EXPECT_EQ(error.Result(), c.code);
        }
        EXPECT_THAT(clr.Calls().back(), testing::StartsWith(c.lastCall));
        EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);
    }
}

}  // namespace
