// The .NET Framework 2.0 check and install, called directly on sessions of
// test packages, with the framework's registration written into the prefix.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prereq/dotnet.h"
#include "runtime/session.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex;
using namespace ondex::test;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

constexpr wchar_t kClassKey[] = L"SOFTWARE\\Classes\\CLSID\\{99749841-0D55-4cf4-8D0D-F212ECE9409A}";
constexpr wchar_t kServerKey[] = L"SOFTWARE\\Classes\\CLSID\\{99749841-0D55-4cf4-8D0D-F212ECE9409A}\\InprocServer32";

// The framework's class registration, absent around each test.
class RuntimeRegistration {
public:
    RuntimeRegistration() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey); }
    ~RuntimeRegistration() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey); }
    void Version(const std::wstring& version) { OndexRegistryScope::SetString(kServerKey, L"RuntimeVersion", version); }
};

class DotNetFx20 : public testing::Test {
protected:
    DotNetFx20() {
        package.Property(L"STRINGRES_CHKRQ_PROD_STATUS_OK", L"Installed")
            .Property(L"STRINGRES_CHKRQ_PROD_STATUS_PRODUCTNOTFOUND", L"Not installed");
    }
    std::wstring Get(const wchar_t* name) { return package.Get(name); }
    void Set(const wchar_t* name, const std::wstring& value) {
        MsiSetPropertyW(package.Session(), name, value.c_str());
    }
    // Runs the check with a required version; returns found version, status text and code.
    std::vector<std::wstring> Check(const std::wstring& required) {
        Set(L"CHKRQ_PRODDOTNETFX20_VERSIONNEED", required);
        EXPECT_EQ(0u, CheckDotNetFx20(package.Session()));
        return {Get(L"CHKRQ_PRODDOTNETFX20_VERSIONFOUND"), Get(L"CHKRQ_PRODDOTNETFX20_STATUSTEXT"),
                Get(L"CHKRQ_PRODDOTNETFX20_STATUSCODE")};
    }
    // "title|text" of every box, the scope cut off.
    std::vector<std::pair<std::wstring, std::wstring>> Events() const {
        std::vector<std::pair<std::wstring, std::wstring>> events;
        for (const auto& box : boxes.boxes())
            events.emplace_back(box.caption.substr(box.caption.find(L": ") + 2), box.text);
        return events;
    }

    OndexRegistryScope settings;
    RuntimeRegistration runtimeRegistration;
    TestPackage package;
    MessageBoxScript boxes;
};

using Outcome = std::vector<std::wstring>;

}  // namespace

TEST_F(DotNetFx20, RegisteredRuntimeTwoZeroMeetsTheRequiredTwoZeroOnly) {
    runtimeRegistration.Version(L"v2.0.50727");
    EXPECT_EQ((Outcome{L"2.0.50727", L"Installed", L"OK"}), Check(L"2.0"));
    EXPECT_EQ(L"2.0.50727", Get(L"MsiNetAssemblySupport"));

    // A required version without a minor part is met by no found version with one.
    EXPECT_EQ((Outcome{L"2.0.50727", L"Not installed", L"E_NOT_INSTALLED"}), Check(L"2"));
    EXPECT_EQ(L"E_NOT_INSTALLED", Check(L"2.1").back());
}

TEST_F(DotNetFx20, NewerMajorRuntimeIsNotTheRequiredOneAndTheComparisonIsTraced) {
    settings.SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"INTF_INTF_CompareVersion", 0x104);
    package.Property(L"TracerCheckDotNetFx20_TRACERFLAGS", L"4").Property(L"MsiNetAssemblySupport", L"1.1.4322");
    runtimeRegistration.Version(L"V4.0.30319");

    EXPECT_EQ((Outcome{L"4.0.30319", L"Not installed", L"E_NOT_INSTALLED"}), Check(L"2.0"));

    EXPECT_THAT(Events(), ElementsAre(Pair(L"Welcome!", L"Entering Binary custom action"),
                                      Pair(L"...", L"MsiNetAssemblySupport before update: 1.1.4322"),
                                      Pair(L"...", L"MsiNetAssemblySupport after update: 4.0.30319"),
                                      Pair(L"Return Value", L"Result: 4"),
                                      Pair(L"GoodBye!", L"Exiting Binary custom action, result: 0")));
    EXPECT_EQ(L"INTF_CompareVersion: Return Value", boxes.boxes()[3].caption);
}

TEST_F(DotNetFx20, WithoutRegistrationTheInstallersOwnValueIsCompared) {
    package.Property(L"MsiNetAssemblySupport", L"2.0.50727");
    EXPECT_EQ((Outcome{L"2.0.50727", L"Installed", L"OK"}), Check(L"2.0"));

    Set(L"MsiNetAssemblySupport", L"");
    EXPECT_EQ((Outcome{L"", L"Not installed", L"E_NOT_INSTALLED"}), Check(L"2.0"));
}

TEST(RegReadStringValue, ReadsAnyTypeUpToItsTerminatorOrGivesTheDefault) {
    RuntimeRegistration registration;
    const std::wstring fallback = L"fallback";
    EXPECT_EQ(fallback, prereq::RegReadStringValue(HKEY_LOCAL_MACHINE, kServerKey, L"RuntimeVersion", fallback));

    // Stored without a terminator, or with text after an embedded one.
    OndexRegistryScope::SetBinary(kServerKey, L"Bare", {'v', 0, '2', 0}, REG_SZ);
    OndexRegistryScope::SetBinary(kServerKey, L"Embedded", {'a', 0, 0, 0, 'b', 0, 0, 0}, REG_EXPAND_SZ);
    OndexRegistryScope::SetBinary(kServerKey, L"Empty", {}, REG_SZ);
    EXPECT_EQ(L"v2", prereq::RegReadStringValue(HKEY_LOCAL_MACHINE, kServerKey, L"Bare", fallback));
    EXPECT_EQ(L"a", prereq::RegReadStringValue(HKEY_LOCAL_MACHINE, kServerKey, L"Embedded", fallback));
    EXPECT_EQ(L"", prereq::RegReadStringValue(HKEY_LOCAL_MACHINE, kServerKey, L"Empty", fallback));
    EXPECT_EQ(fallback, prereq::RegReadStringValue(HKEY_LOCAL_MACHINE, kServerKey, L"Missing", fallback));
}

// ---- InstallDotNetFx20 ----

TEST_F(DotNetFx20, InstallRunsTheFormattedRedistributableQuietlyWithAFiveHundredTickBarAndSucceedsWithoutOne) {
    package.Property(L"TracerInstallDotNetFx20_TRACERFLAGS", L"4");
    LogCapture log;
    EXPECT_EQ(0u, InstallDotNetFx20(package.Session()));
    Set(L"TOOLDIR", TestFolder());
    Set(L"DOTNETFX_EXE", L"[TOOLDIR]ondex_testtool.exe");
    EXPECT_EQ(0u, InstallDotNetFx20(package.Session()));

    const std::wstring command = L"\"" + TestFolder() + L"ondex_testtool.exe\"  /q:a /c:\"install /q /l\"";
    const auto welcome = Pair(L"Welcome!", L"Entering Binary custom action");
    const auto goodbye = Pair(L"GoodBye!", L"Exiting Binary custom action, result: 0");
    EXPECT_THAT(Events(), ElementsAre(welcome, Pair(L"Executing DOTNETFX.EXE installer", L"\"\"  /q:a /c:\"install /q /l\""),
                                      Pair(L"DOTNETFX.EXE Result Code", L"-1"), goodbye, welcome,
                                      Pair(L"Executing DOTNETFX.EXE installer", command),
                                      Pair(L"DOTNETFX.EXE Result Code", L"0"), goodbye));
    EXPECT_EQ(std::vector<int>({0, 500, 0, 0}), log.Progress().at(0));
    EXPECT_EQ(L"Installing Microsoft .NET Framework 2.0...", log.OfType(INSTALLMESSAGE_ACTIONSTART).at(0).fields.at(2));
}
