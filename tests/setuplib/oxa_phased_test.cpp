// The phased extension actions on real sessions: the immediate phase selects
// the install action from the service component and the Upgrade table, the
// deferred stages run the managed code through the runtime-host double.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "clr_double_control.h"
#include "oxa_packages.h"
#include "planted_paths.h"
#include "runtime/text_format.h"
#include "setuplib/oxsetuplib.h"
#include "support/installed_product.h"
#include "support/package.h"
#include "support/seam_override.h"

extern "C" UINT __stdcall OxaSQLAssemblyCaller(MSIHANDLE);
extern "C" UINT __stdcall OxaRegisterWMISvc(MSIHANDLE);
extern "C" UINT __stdcall OxaDetectMVXBeta(MSIHANDLE);

using namespace OxSetupLib;
using namespace ondex::test;
using testing::ElementsAre;
using testing::Pair;

namespace {

constexpr wchar_t kOlderUpgradeCode[] = L"{5E0B4C31-92D7-4F6A-8C1E-3D2B7A9F0E64}";
constexpr wchar_t kOlderProduct[] = L"{A4C2E1F0-6B3D-4E57-9A81-0C2D3E4F5A6B}";


class PhasedTestBase : public testing::Test {
protected:
    void SetUp() override {
        WithProductCode(package_, productCode_);
        modes_.api().MsiGetMode = ScriptedMode;
        previousLevel_ = MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, nullptr);
    }
    void TearDown() override {
        MsiSetInternalUI(previousLevel_, nullptr);
        const OxMsiString folder = GetTempFolder() + productCode_;
        if (PathExists(folder)) DeleteDirectoryTree(folder, false);
    }

    MSIHANDLE Open(INSTALLSTATE state = INSTALLSTATE_LOCAL) { return OpenCosted(package_, root_.Path(), state); }
    void PlaceFile(const wchar_t* name) { PlaceInstalledFile(root_, name); }
    UINT Run(UINT (*action)(MSIHANDLE), MSIRUNMODE mode, const std::wstring& storage = L"") {
        g_mode = mode;
        MsiSetPropertyW(package_.Session(), L"CustomActionData", storage.c_str());
        return action(package_.Session());
    }
    std::vector<std::pair<std::wstring, UINT>> Shown() const { return ShownMessages(log_); }
    bool Logged(const std::wstring& text) const { return !log_.InfoLinesWith(L"] " + text).empty(); }
    std::wstring InstallDir() const { return root_.File(L"Harbor\\"); }
    void ExpectDeferredData(const std::wstring& prefix, const std::wstring& storage) {
        for (const wchar_t* ending : {L"_Commit64", L"_ExecuteInstall64", L"_ExecuteRemove64", L"_Rollback64"})
            EXPECT_EQ(package_.Get(prefix + ending), storage) << ending;
    }

    const std::wstring productCode_ = NewProductCode();
    TempFolder root_;
    TestPackage package_;
    ScopedApiOverride modes_;
    ClrDoubleScope clr_;
    LogCapture log_;
    INSTALLUILEVEL previousLevel_{};
};

class SqlAssemblyCallerTest : public PhasedTestBase {
protected:
    void SetUp() override {
        PhasedTestBase::SetUp();
        WithDatabaseCreator(package_);
    }
    std::wstring Storage() const { return GetTempFolder() + productCode_ + L"\\OxSQLAssemblyCaller"; }
    std::string Create(int code) const {
        return "Ondex.Harbor.DBCreator.CBackupCreator.Create(int:" + std::to_string(code) +
               ", bstr:DBHOST, bstr:HARBORSQL, bstr:1, bstr:" + ondex::runtime::ToAnsi(InstallDir()) + ")";
    }
    std::string MsiInit() {
        return "Ondex.Harbor.DBCreator.CLogger.MsiInit(int:" + std::to_string(package_.Session()) + ")";
    }
    // The state the immediate phase would leave for `selected`, written directly.
    void WriteState(std::int32_t selected) {
        std::uint8_t removeDone = 0;
        OxMsiString assembly = InstallDir() + L"Ondex.Harbor.DBCreator.dll", server = L"DBHOST",
                    instance = L"HARBORSQL", flag = L"1", folder = InstallDir(), file, query, reserved;
        CreateDirectoryTree(GetTempFolder() + productCode_);
        OxFileSerializator state(Storage());
        state.Serialize(removeDone);
        state.Serialize(selected);
        for (OxMsiString* text : {&assembly, &server, &instance, &flag, &folder, &file, &query, &reserved})
            state.Serialize(*text);
        state.Write();
    }
};

TEST_F(SqlAssemblyCallerTest, FreshInstallSkipsTheRemoveStageAndCreatesTheDatabaseInTheInstallStage) {
    Open();
    PlaceFile(L"Ondex.Harbor.DBCreator.dll");
    ASSERT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_ADMIN), 0u);
    EXPECT_TRUE(Logged(L"Extension assembly path: '" + InstallDir() + L"Ondex.Harbor.DBCreator.dll'."));
    EXPECT_TRUE(Logged(L"Service component mode: 3."));
    EXPECT_TRUE(Logged(L"Selected action: 2."));
    ExpectDeferredData(L"OxSQLAssemblyCaller", Storage());
    EXPECT_TRUE(package_.Get(L"OxRPCDataExist").empty());
    EXPECT_TRUE(clr_.Calls().empty());

    // Whatever the deferred actions are called, the first one is the remove stage.
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Action '2' won't be executed while ExecuteRemove."));
    EXPECT_TRUE(clr_.Calls().empty());
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Executing action '2' while ExecuteInstall..."));
    EXPECT_THAT(clr_.Invokes(), ElementsAre(MsiInit(), Create(2)));
    EXPECT_THAT(clr_.Calls(), testing::Contains("CreateDomainEx OndexSetupv4.0.30319 base=" +
                                                ondex::runtime::ToAnsi(root_.File(L"Harbor"))));
    EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);

    // Commit only cleans up: the state file goes.
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_COMMIT, Storage()), 0u);
    EXPECT_TRUE(Logged(L"=========OxSQLAssemblyCaller: Cleaning up temporary data."));
    EXPECT_FALSE(PathExists(Storage()));
    EXPECT_TRUE(Shown().empty());
}

TEST_F(SqlAssemblyCallerTest, UninstallForUpgradeCreatesWithSixInTheRemoveStageAndRollsBackWithFour) {
    Open();
    PlaceFile(L"Ondex.Harbor.DBCreator.dll");
    WriteState(6);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Executing action '6' while ExecuteRemove..."));
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Action '6' won't be executed while ExecuteInstall."));
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_ROLLBACK, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Executing Rollback for action '6' ..."));
    EXPECT_THAT(clr_.Invokes(), ElementsAre(MsiInit(), Create(6), MsiInit(), Create(4)));
    EXPECT_FALSE(PathExists(Storage()));
}

TEST_F(SqlAssemblyCallerTest, ManagedFailuresAreShownAndEndTheStageWithUserExit) {
    Open();
    PlaceFile(L"Ondex.Harbor.DBCreator.dll");
    WriteState(2);
    ASSERT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);

    // A managed exception shows its own description; the failure leaves the stage to run again.
    clr_.Throw(L"Ondex.Harbor.DBCreator.CBackupCreator.Create", 0x80131904, L"Login failed for user 'sa'.");
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 1602u);
    EXPECT_THAT(Shown(), ElementsAre(Pair(L"Login failed for user 'sa'.", MB_ICONERROR)));
    EXPECT_TRUE(Logged(L"COM-exception occurred while executing .Net assembly. Error code: 0x80020009. NArg: 0."));

    // Any other failed call shows the generic text with its code and the offending argument.
    ClrDoubleScope again;
    again.Fail(L"Invoke", DISP_E_TYPEMISMATCH, 3);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 1602u);
    EXPECT_THAT(Shown()[1], Pair(L"Failed to execute .NET assembly.\nError code: 0x80020005.", MB_ICONERROR));
    EXPECT_TRUE(Logged(L"COM-exception occurred while executing .Net assembly. Error code: 0x80020005. NArg: 3."));
    EXPECT_EQ(ClrDoubleScope::LiveObjects(), 0);
}

TEST_F(SqlAssemblyCallerTest, AMissingAssemblyIsOnlyLogged) {
    Open();
    WriteState(4);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Assembly file cannot be found."));
    EXPECT_TRUE(clr_.Calls().empty());
    EXPECT_TRUE(Shown().empty());
}

TEST_F(SqlAssemblyCallerTest, AComponentThatStaysAbsentIsAnUnknownActionInEveryPhase) {
    Open(INSTALLSTATE_ABSENT);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_ADMIN), 1603u);
    EXPECT_TRUE(Logged(L"Service component mode: 0."));
    EXPECT_TRUE(Logged(L"Selected action: 1."));
    EXPECT_THAT(Shown(), ElementsAre(Pair(L"Cannot execute unknown install action.", MB_ICONERROR)));

    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 1603u);
    EXPECT_TRUE(Logged(L"Unknown action '1'."));
    EXPECT_EQ(Shown().size(), 2u);
}

TEST_F(SqlAssemblyCallerTest, AnOlderRelatedProductLeavesTheUpgradeToTheExtensionAction) {
    package_.Row(L"Upgrade", {{L"UpgradeCode", Quoted(kOlderUpgradeCode)}, {L"VersionMax", L"'1.0.0'"},
                              {L"Attributes", L"0"}, {L"ActionProperty", L"'OLDERFOUND'"}});
    const InstalledProduct older(kOlderProduct, kOlderUpgradeCode);
    const MSIHANDLE session = Open();
    // A record another action already wrote keeps what this one does not set.
    OxExtensionData earlier(productCode_);
    earlier.wmiServicePath = L"C:\\Harbor\\Ondex.Harbor.WmiServer.exe";
    earlier.Store();
    MsiSetPropertyW(session, L"OxRPCDataExist", L"1");

    ASSERT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_ADMIN), 0u);
    EXPECT_TRUE(Logged(L"Selected action: 3."));
    EXPECT_TRUE(PathExists(GetTempFolder() + productCode_ + L"\\RPCAssembly.dat"));
    OxExtensionData data(productCode_);
    data.Load();
    EXPECT_THAT((std::vector<std::wstring>{data.assemblyPath, data.sqlServerName, data.sqlInstanceName,
                                           data.installFolder, data.sqlServerDatabase, data.wmiServicePath}),
                ElementsAre(InstallDir() + L"Ondex.Harbor.Setup.dll", L"DBHOST", L"HARBORSQL", InstallDir(), L"1",
                            L"C:\\Harbor\\Ondex.Harbor.WmiServer.exe"));
    EXPECT_EQ(data.selectedAction, 3u);
    EXPECT_EQ(data.present, 1u);

    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_EQ(Run(OxaSQLAssemblyCaller, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Upgrade will be performed in OxRPCExtension action."));
    EXPECT_TRUE(clr_.Calls().empty());
}

// What a standard user could have planted where the SYSTEM phase reads: the phase refuses it.
TEST_F(SqlAssemblyCallerTest, PlantedFoldersAndStateFilesAreRefusedWithALoggedErrorAnd1603) {
    Open();
    const std::wstring temp = GetTempFolder(), product = temp + productCode_;
    constexpr wchar_t kOtherUser[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    const std::wstring link = L"it is a reparse point (a link).";
    const std::wstring foreign = std::wstring(L"its owner ") + kOtherUser +
                                 L" is neither SYSTEM, Administrators, TrustedInstaller nor this account.";
    const struct {
        std::wstring path;
        const wchar_t* owner;  // none: a reparse point
        MSIRUNMODE phase;
        std::wstring reason;  // empty: accepted
    } cases[] = {
        {product, kOtherUser, MSIRUNMODE_ADMIN, foreign},
        {product, nullptr, MSIRUNMODE_ADMIN, link},
        {temp.substr(0, temp.size() - 1), nullptr, MSIRUNMODE_ADMIN, link},
        {Storage(), kOtherUser, MSIRUNMODE_SCHEDULED, foreign},
        {Storage(), nullptr, MSIRUNMODE_SCHEDULED, link},
        {product, L"S-1-5-32-544", MSIRUNMODE_ADMIN, L""},
        {Storage(), L"S-1-5-18", MSIRUNMODE_SCHEDULED, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + L" " + c.reason);
        WriteState(2);
        MessageBoxScript boxes;
        PlantedPaths planted;
        c.owner ? planted.OwnedBy(c.path, c.owner) : planted.Link(c.path);
        const std::wstring data = c.phase == MSIRUNMODE_SCHEDULED ? Storage() : L"";
        EXPECT_EQ(Run(OxaSQLAssemblyCaller, c.phase, data), c.reason.empty() ? 0u : 1603u);
        EXPECT_EQ(Logged(L"The setup library does not use '" + c.path + L"': " + c.reason), !c.reason.empty());
        log_.Clear();
    }
}

class RegisterWmiTest : public PhasedTestBase {
protected:
    void SetUp() override {
        PhasedTestBase::SetUp();
        WithWmiServer(package_);
    }
    std::wstring Storage() const { return GetTempFolder() + productCode_ + L"\\OxRegisterWMISvc"; }
    std::string Install() const {
        return "Ondex.Harbor.WmiServer.Core.CWmiInstaller.MsiInstall(bstr:" +
               ondex::runtime::ToAnsi(InstallDir()) + "Ondex.Harbor.WmiServer.exe)";
    }
};

TEST_F(RegisterWmiTest, FreshInstallRegistersTypesAndASetupWarningOfTheRuntimeDoesNotFailTheStage) {
    Open();
    PlaceFile(L"Ondex.Harbor.WmiServer.Core.dll");
    ASSERT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_ADMIN), 0u);
    EXPECT_TRUE(Logged(L"Service executable: " + InstallDir() + L"Ondex.Harbor.WmiServer.exe."));
    EXPECT_TRUE(Logged(L"Selected action: 2."));
    ExpectDeferredData(L"OxaRegisterWMISvc", Storage());

    EXPECT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    clr_.Throw(L"Ondex.Harbor.WmiServer.Core.CWmiInstaller.MsiInstall", 0x80131600, L"Types already registered.");
    EXPECT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_SCHEDULED, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Executing Ondex.Harbor.WmiServer.Core.CWmiInstaller.MsiInstall()..."));
    EXPECT_THAT(clr_.Invokes(), ElementsAre(Install()));
    EXPECT_THAT(Shown(), ElementsAre(Pair(L"Types already registered.", MB_ICONWARNING)));

    // Any other managed exception is an error; the rollback of a fresh install only logs.
    ClrDoubleScope failing;
    failing.Throw(L"Ondex.Harbor.WmiServer.Core.CWmiInstaller.MsiInstall", 0x80131500, L"Access denied.");
    EXPECT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_SCHEDULED, Storage()), 1602u);
    EXPECT_THAT(Shown()[1], Pair(L"Access denied.", MB_ICONERROR));
    EXPECT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_ROLLBACK, Storage()), 0u);
    EXPECT_TRUE(Logged(L"Executing Rollback for action '2' ..."));
    EXPECT_TRUE(Logged(L"=========OxRegisterWMISvc: Cleaning up temporary data."));
    // Only the failed MsiInstall reached the runtime; the rollback called nothing.
    EXPECT_THAT(failing.Invokes(), ElementsAre(Install()));
    EXPECT_FALSE(PathExists(Storage()));
}

// The mail-explorer product shares no upgrade path with Harbor: its beta only blocks the setup.
TEST_F(RegisterWmiTest, AnInstalledMailExplorerBlocksOnlyAsABetaAndIsNoOlderHarborToUpgrade) {
    const wchar_t* mvxUpgradeCode = L"{8B4ED8BF-6746-44A5-B041-37C658EA36E1}";
    const wchar_t* mvxProduct = L"{C3D2B1A0-9F8E-4D7C-8B6A-5F4E3D2C1B0A}";
    const wchar_t* olderUpgradeCode = L"{9A7C3E15-4D2B-4B8F-A6E1-2C5D8F0B3A97}";
    for (const wchar_t* code : {mvxUpgradeCode, olderUpgradeCode})
        package_.Row(L"Upgrade", {{L"UpgradeCode", Quoted(code)}, {L"VersionMax", L"'9.0.0'"}, {L"Attributes", L"0"},
                                  {L"ActionProperty", L"'OLDERFOUND'"}});
    const MSIHANDLE session = Open();
    EXPECT_EQ(OxaDetectMVXBeta(session), 0u);
    {
        const InstalledProduct beta(mvxProduct, mvxUpgradeCode, InstalledProduct::State::Installed, L"6.5.0.499");
        EXPECT_EQ(OxaDetectMVXBeta(session), 1603u);
        ASSERT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_ADMIN), 0u);
        EXPECT_TRUE(Logged(L"Ignoring MVX upgrade code."));
        EXPECT_TRUE(Logged(L"Selected action: 2."));
    }
    {
        const InstalledProduct final(mvxProduct, mvxUpgradeCode, InstalledProduct::State::Installed, L"6.5.0.500");
        EXPECT_EQ(OxaDetectMVXBeta(session), 0u);
    }
    EXPECT_THAT(Shown(), ElementsAre(Pair(L"Ondex Mailvault beta is already installed. Please uninstall it "
                                          L"manually, and run the setup again.",
                                          MB_ICONERROR)));
    EXPECT_FALSE(Logged(L"This is the upgrade."));

    const InstalledProduct older(L"{2E4F6A8C-1B3D-4F5A-9C7E-8D0B2A4C6E13}", olderUpgradeCode);
    ASSERT_EQ(Run(OxaRegisterWMISvc, MSIRUNMODE_ADMIN), 0u);
    EXPECT_TRUE(Logged(L"This is the upgrade."));
    EXPECT_TRUE(Logged(L"Selected action: 3."));
    EXPECT_EQ(package_.Get(L"OxRPCDataExist"), L"1");
    OxExtensionData data(productCode_);
    data.Load();
    EXPECT_EQ(data.assemblyPath, InstallDir() + L"Ondex.Harbor.Setup.dll");
    EXPECT_EQ(data.wmiServicePath, InstallDir() + L"Ondex.Harbor.WmiServer.exe");
}

}  // namespace
