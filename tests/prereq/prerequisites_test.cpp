// The prerequisite engine on real sessions: package tables, installer
// actions of the session (property-setting custom actions), and command steps
// run as real processes of the test tool.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "prereq/prerequisites.h"
#include "runtime/session.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex;
using namespace ondex::test;
using ::testing::ElementsAre;

namespace {

constexpr wchar_t kSettings[] = L"SOFTWARE\\Ondex\\setupdebug";
const std::vector<std::wstring> kSuffixes{L"_NAME", L"_VERSIONNEED", L"_VERSIONFOUND", L"_STATUSTEXT", L"_STATUSCODE"};

// Action name, description and template of an action start.
std::vector<std::wstring> Described(const LogCapture::Message& start) {
    return {start.fields.begin() + 1, start.fields.end()};
}

struct PrerequisiteRow {
    int order;
    std::wstring id;
    std::wstring name;
    std::wstring requiredVersion;
    std::wstring versionProperty;
    std::wstring statusProperty;
    std::wstring statusTextProperty;
};

struct StepRow {
    std::wstring id;
    std::optional<int> order;
    std::optional<int> flags;
    std::wstring condition;
    std::wstring property;
    std::wstring value;
    std::wstring action;
    std::wstring progressText;
    std::optional<int> duration;
    std::optional<int> interval;
};

class PrerequisiteEngine : public testing::Test {
protected:
    PrerequisiteEngine() {
        CreatePrerequisiteTables(package).Table(L"CustomAction");
    }

    void Add(const PrerequisiteRow& row) {
        package.Row(L"Prerequisites", {{L"Order", Number(row.order)}, {L"PrerequisiteId", Quoted(row.id)},
                                       {L"Name", Quoted(row.name)}, {L"RequiredVersion", Quoted(row.requiredVersion)},
                                       {L"InstalledVersionPropertyName", Quoted(row.versionProperty)},
                                       {L"StatusPropertyName", Quoted(row.statusProperty)},
                                       {L"StatusTextPropertyName", Quoted(row.statusTextProperty)}});
    }
    void Add(const StepRow& row) {
        package.Row(L"PrerequisiteActions",
                    {{L"PrerequisiteId_", Quoted(row.id)}, {L"Order", Number(row.order)},
                     {L"ActionFlags", Number(row.flags)}, {L"Condition", Quoted(row.condition)},
                     {L"Property", Quoted(row.property)}, {L"Value", Quoted(row.value)},
                     {L"Action", Quoted(row.action)}, {L"ProgressText", Quoted(row.progressText)},
                     {L"ExpectedDuration", Number(row.duration)}, {L"ProgressUpdateInterval", Number(row.interval)}});
    }
    // An installer action of the session that sets `property` (custom action type 51).
    void SettingAction(const std::wstring& action, const std::wstring& property, const std::wstring& value) {
        package.Row(L"CustomAction", {{L"Action", Quoted(action)}, {L"Type", L"51"}, {L"Source", Quoted(property)},
                                      {L"Target", Quoted(value)}});
    }

    std::wstring Get(const std::wstring& name) { return package.Get(name); }
    void Set(const std::wstring& name, const std::wstring& value) {
        MsiSetPropertyW(package.Session(), name.c_str(), value.c_str());
    }
    // The five display values of a slot ("1", "2", ... or a prerequisite's id).
    std::vector<std::wstring> Slot(const std::wstring& slot) {
        std::vector<std::wstring> values;
        for (const auto& suffix : kSuffixes) values.push_back(Get(L"CHKRQ_PROD" + slot + suffix));
        return values;
    }
    std::vector<std::wstring> Captions() const {
        std::vector<std::wstring> captions;
        for (const auto& box : boxes.boxes()) captions.push_back(box.caption);
        return captions;
    }

    OndexRegistryScope registry;
    TestPackage package;
    LogCapture log;
    MessageBoxScript boxes;
};

const std::vector<std::wstring> kBlankSlot(5, L"  ");

}  // namespace

// ---- The check pass ----

TEST_F(PrerequisiteEngine, WithoutRowsTheResultIsOkAndTheFourSlotsAreBlank) {
    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));

    EXPECT_EQ(L"OK", Get(L"CheckPrerequisitesResult"));
    for (const wchar_t* slot : {L"1", L"2", L"3", L"4"}) EXPECT_EQ(kBlankSlot, Slot(slot)) << slot;
    EXPECT_EQ(L"", Get(L"CHKRQ_PROD5_NAME"));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PrerequisiteEngine, FailedPrerequisitesFillTheSlotsWithTheValuesFoundBeforeTheirSteps) {
    package.Property(L"SQLVER", L"2005")
        .Property(L"SQL_VERSION", L"9.00")
        .Property(L"SQL_STATUS", L"UNKNOWN")
        .Property(L"SQL_TEXT", L"Not checked yet")
        .Property(L"VC_STATUS", L"E_NOT_INSTALLED");
    // Present: its installer action sets the status to OK.
    Add(PrerequisiteRow{1, L"VCRT", L"Visual C++ runtime", L"8.0", L"VC_VERSION", L"VC_STATUS", L"VC_TEXT"});
    Add(StepRow{.id = L"VCRT", .order = 1, .flags = 0x01, .action = L"SetVcOk"});
    SettingAction(L"SetVcOk", L"VC_STATUS", L"OK");
    // Missing: the second check category; its steps change what the slot must not show.
    Add(PrerequisiteRow{2, L"SQLNCLI", L"SQL Native Client [SQLVER]", L"9.0", L"SQL_VERSION", L"SQL_STATUS",
                        L"SQL_TEXT"});
    Add(StepRow{.id = L"SQLNCLI", .order = 1, .flags = 0x04, .property = L"SQL_TEXT", .value = L"Not found"});
    Add(StepRow{.id = L"SQLNCLI", .order = 2, .flags = 0x04, .action = L"SetSqlMissing"});
    SettingAction(L"SetSqlMissing", L"SQL_STATUS", L"E_NOT_INSTALLED");
    // A command whose exit code 3 becomes its status.
    Add(PrerequisiteRow{3, L"TOOLS", L"Catalog tools", L"1.0", L"", L"TOOLS_STATUS", L""});
    Add(StepRow{.id = L"TOOLS",
                .order = 1,
                .flags = 0x21,
                .property = L"TOOLS_STATUS",
                .action = TestTool(L"exit:3"),
                .progressText = L"Checking [ProductName]",
                .duration = 5,
                .interval = 1});
    // Status "1" counts as present.
    Add(PrerequisiteRow{4, L"ONE", L"Counted as present", L"", L"", L"ONE_STATUS", L""});
    Add(StepRow{.id = L"ONE", .order = 1, .flags = 0x21, .property = L"ONE_STATUS", .action = TestTool(L"exit:1")});
    // Never failed, whatever the status: no step, or only false conditions.
    Add(PrerequisiteRow{5, L"NOSTEPS", L"No steps", L"", L"", L"VC_STATUS", L""});
    Add(PrerequisiteRow{6, L"FALSE", L"False only", L"", L"", L"NEVER_SET", L""});
    Add(StepRow{.id = L"FALSE", .order = 1, .flags = 0x01, .condition = L"1 = 0", .action = L"SetVcOk"});

    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));

    EXPECT_EQ(L"E_FAILED", Get(L"CheckPrerequisitesResult"));
    const std::vector<std::wstring> sql{L"SQL Native Client 2005", L"9.0", L"9.00", L"Not checked yet", L"UNKNOWN"};
    EXPECT_EQ(sql, Slot(L"1"));
    EXPECT_EQ(sql, Slot(L"SQLNCLI"));
    EXPECT_EQ((std::vector<std::wstring>{L"Catalog tools", L"1.0", L"", L"", L""}), Slot(L"2"));
    EXPECT_EQ(kBlankSlot, Slot(L"3"));
    EXPECT_EQ((std::vector<std::wstring>{L"Visual C++ runtime", L"8.0", L"", L"", L"E_NOT_INSTALLED"}), Slot(L"VCRT"));
    // What the steps did.
    EXPECT_EQ(L"OK", Get(L"VC_STATUS"));
    EXPECT_EQ(L"E_NOT_INSTALLED", Get(L"SQL_STATUS"));
    EXPECT_EQ(L"Not found", Get(L"SQL_TEXT"));
    EXPECT_EQ(L"3", Get(L"TOOLS_STATUS"));
    EXPECT_EQ(L"1", Get(L"ONE_STATUS"));
    EXPECT_EQ(L"", Get(L"NEVER_SET"));
    EXPECT_EQ(std::vector<int>({0, 5, 0, 0}), log.Progress().at(0));
    // Action starts: the engine's for the two installer actions, then the command's.
    const auto starts = log.OfType(INSTALLMESSAGE_ACTIONSTART);
    ASSERT_EQ(4u, starts.size());
    EXPECT_THAT(Described(starts[2]), ElementsAre(L"Ondex Setup", L"Checking Ondex Test Package...", L"[1]"));
    EXPECT_THAT(Described(starts[3]), ElementsAre(L"Ondex Setup", L"...", L"[1]"));  // no progress text
}

TEST_F(PrerequisiteEngine, FiveFailuresFillFiveSlotsAndAMissingInstallerActionNeverFailsTheCheck) {
    for (int n = 1; n <= 5; ++n) {
        const std::wstring id = L"P" + std::to_wstring(n);
        Add(PrerequisiteRow{n, id, L"Product " + id, L"", L"", id + L"_STATUS", L""});
        Add(StepRow{.id = id, .order = 1, .flags = 0x01, .action = L"NoSuchAction"});
    }
    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));

    EXPECT_EQ(L"E_FAILED", Get(L"CheckPrerequisitesResult"));
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(L"Product P" + std::to_wstring(n), Get(L"CHKRQ_PROD" + std::to_wstring(n) + L"_NAME"));
    EXPECT_EQ(L"", Get(L"CHKRQ_PROD5_STATUSCODE"));  // written, not cleared: the fifth slot never held blanks
}

TEST_F(PrerequisiteEngine, MissingTablesAreReportedOnceAndAssumeEverythingPresent) {
    TestPackage bare;
    EXPECT_EQ(0u, CheckPrerequisites(bare.Session()));
    EXPECT_EQ(0u, InstallPrerequisites(bare.Session()));

    EXPECT_EQ(L"OK", bare.Get(L"CheckPrerequisitesResult"));
    EXPECT_EQ(L"", bare.Get(L"CHKRQ_PROD1_NAME"));
    ASSERT_THAT(Captions(), ElementsAre(L"CheckPrerequisites: readPrerequisites Failed",
                                        L"InstallPrerequisites: readPrerequisites Failed"));
    const std::wstring code = L"0x8007064F";  // ERROR_BAD_QUERY_SYNTAX
    EXPECT_EQ(L"Error " + code +
                  L" while checking prerequisites, assume everything is present.\n"
                  L"(Installer may fail later if not the case.)",
              boxes.boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONHAND), boxes.boxes()[0].style);
    EXPECT_TRUE(
        log.HasInfoLine(L"INTF_readPrerequisites:  Error 0x8007064f: failed to open view on Prerequisites table"));
}

TEST_F(PrerequisiteEngine, MissingStepTableIsReportedPerPrerequisiteWhichThenCountsAsPresent) {
    TestPackage noSteps;
    noSteps
        .Sql(
            L"CREATE TABLE `Prerequisites` (`PrerequisiteId` CHAR(72) NOT NULL, `Order` SHORT, `Name` CHAR(72), "
            L"`RequiredVersion` CHAR(72), `InstalledVersionPropertyName` CHAR(72), `StatusPropertyName` CHAR(72), "
            L"`StatusTextPropertyName` CHAR(72) PRIMARY KEY `PrerequisiteId`)")
        .Sql(L"INSERT INTO `Prerequisites` (`PrerequisiteId`, `Order`, `Name`) VALUES ('ODD', 1, 'Odd')");

    EXPECT_EQ(0u, CheckPrerequisites(noSteps.Session()));
    EXPECT_EQ(0u, InstallPrerequisites(noSteps.Session()));

    EXPECT_EQ(L"OK", noSteps.Get(L"CheckPrerequisitesResult"));
    EXPECT_EQ(L"Odd", noSteps.Get(L"CHKRQ_PRODODD_NAME"));
    ASSERT_THAT(Captions(), ElementsAre(L"readCheckActions: readPrerequisiteActions Failed",
                                        L"readInstallActions: readPrerequisiteActions Failed"));
    EXPECT_EQ(L"Error 0x8007064F while reading `PrerequisiteActions` table.", boxes.boxes()[0].text);
    EXPECT_TRUE(log.HasInfoLine(
        L"INTF_readPrerequisiteActions:  Error 0x8007064f: failed to open view on PrerequisiteActions table"));
}

TEST_F(PrerequisiteEngine, PropertyNamesAreCutToTheNameBuffer) {
    const std::wstring id(100, L'L');  // "CHKRQ_PROD" + id leaves nine characters for a suffix
    Add(PrerequisiteRow{1, id, L"Long", L"2.0", L"", L"", L""});
    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));

    const std::wstring stem = L"CHKRQ_PROD" + id;
    EXPECT_EQ(L"Long", Get(stem + L"_NAME"));
    EXPECT_EQ(L"2.0", Get(stem + L"_VERSIONN"));
    EXPECT_EQ(L"", Get(stem + L"_VERSIONNEED"));
    EXPECT_EQ(L"  ", Get(L"CHKRQ_PROD1_NAME"));
}

// ---- Steps ----

TEST_F(PrerequisiteEngine, StepRowsAreReadColumnByColumnAndNullNumbersReadAsZero) {
    Add(StepRow{.id = L"A",
                .order = 2,
                .flags = 0x25,
                .condition = L"1",
                .property = L"P",
                .value = L"V",
                .action = L"cmd.exe",
                .progressText = L"Installing [ProductName]",
                .duration = 30,
                .interval = 2});
    Add(StepRow{.id = L"A", .order = 1, .flags = 0x04});
    Add(StepRow{.id = L"A", .order = 3});                 // null flags: taken by no pass
    Add(StepRow{.id = L"A", .order = 4, .flags = 0x40});  // no pass bit
    Add(StepRow{.id = L"A", .order = 5, .flags = 0x20});  // a bare command: both passes
    Add(StepRow{.id = L"B", .order = 1, .flags = 0x01});
    const MSIHANDLE session = package.Session();

    // Each step as "id|order|flags|condition|property|value|action|progress text|duration|interval".
    const auto rendered = [&](const std::vector<prereq::PrerequisiteStep>& steps) {
        std::vector<std::wstring> texts;
        for (const auto& s : steps) {
            EXPECT_EQ(session, s.hInstall);
            texts.push_back(s.prerequisiteId + L"|" + std::to_wstring(s.order) + L"|" + std::to_wstring(s.actionFlags) +
                            L"|" + std::to_wstring(s.condition) + L"|" + s.property + L"|" + s.value + L"|" + s.action +
                            L"|" + s.progressText + L"|" + std::to_wstring(s.expectedDuration) + L"|" +
                            std::to_wstring(s.progressUpdateInterval));
        }
        return texts;
    };
    const std::wstring full = L"A|2|37|1|P|V|cmd.exe|Installing Ondex Test Package|30|2";  // condition true
    EXPECT_THAT(rendered(prereq::readCheckActions(session, L"A")),
                ElementsAre(L"A|1|4|2|||||0|0", full, L"A|5|32|2|||||0|0"));  // no condition: MSICONDITION_NONE
    EXPECT_THAT(rendered(prereq::readInstallActions(session, L"A")), ElementsAre(full, L"A|5|32|2|||||0|0"));
    EXPECT_FALSE(runtime::WcaIsAttached());
}

TEST_F(PrerequisiteEngine, ConditionsAreEvaluatedWhenTheRowsAreReadNotWhenTheStepsRun) {
    Add(StepRow{.id = L"A", .order = 1, .flags = 0x01, .property = L"LATER", .value = L"1"});
    Add(StepRow{.id = L"A", .order = 2, .flags = 0x01, .condition = L"LATER", .property = L"SEEN", .value = L"1"});
    const MSIHANDLE session = package.Session();
    const auto steps = prereq::readCheckActions(session, L"A");

    EXPECT_EQ(L"NONE", prereq::ExecPrerequisiteActions(session, steps));
    EXPECT_EQ(L"1", Get(L"LATER"));
    EXPECT_EQ(L"", Get(L"SEEN"));
    // Read again, the condition now holds; a step with a property but no action still leaves NONE.
    EXPECT_EQ(L"NONE", prereq::ExecPrerequisiteActions(session, prereq::readCheckActions(session, L"A")));
    EXPECT_EQ(L"1", Get(L"SEEN"));
}

TEST_F(PrerequisiteEngine, ConditionThatCannotBeEvaluatedStopsTheStepsAndTheStatusDecides) {
    package.Property(L"GOOD_STATUS", L"OK");
    int order = 0;
    for (const std::wstring id : {L"GOOD", L"BAD"}) {
        Add(PrerequisiteRow{++order, id, id, L"", L"", id + L"_STATUS", L""});
        Add(StepRow{.id = id, .order = 1, .flags = 0x01, .property = id + L"_BEFORE", .value = L"1"});
        Add(StepRow{.id = id, .order = 2, .flags = 0x01, .condition = L"((", .action = L"NoSuchAction"});
        Add(StepRow{.id = id, .order = 3, .flags = 0x01, .property = id + L"_AFTER", .value = L"1"});
    }
    const MSIHANDLE session = package.Session();
    EXPECT_EQ(L"MSICONDITION_ERROR",
              prereq::ExecPrerequisiteActions(session, prereq::readCheckActions(session, L"BAD")));
    boxes.WithDebugger().Answer(IDOK).Answer(IDCANCEL);  // Cancel asks for a debugger break

    EXPECT_EQ(0u, CheckPrerequisites(session));

    EXPECT_EQ(L"1", Get(L"BAD_BEFORE"));
    EXPECT_EQ(L"", Get(L"BAD_AFTER"));
    EXPECT_EQ(L"BAD", Get(L"CHKRQ_PROD1_NAME"));  // GOOD's status OK kept it present
    EXPECT_THAT(Captions(), ElementsAre(L"ExecPrerequisiteActions: Failed performing MsiEvaluateCondition",
                                        L"ExecPrerequisiteActions: Failed performing MsiEvaluateCondition",
                                        L"ExecPrerequisiteActions: Failed performing MsiEvaluateCondition"));
    EXPECT_EQ(L"MSICONDITION_ERROR", boxes.boxes()[0].text);
    EXPECT_EQ(1, boxes.debugBreaks());
}

TEST_F(PrerequisiteEngine, InstallerActionResultsAndReadingAreTracedWithoutChangingTheOutcome) {
    registry.SetDword(kSettings, L"INTF_ExecPrerequisiteActions", 0x104);
    registry.SetDword(kSettings, L"INTF_readPrerequisiteActions", 0x104);
    Add(StepRow{.id = L"A", .order = 1, .flags = 0x01, .action = L"NoSuchAction"});
    const MSIHANDLE session = package.Session();

    EXPECT_EQ(L"OK", prereq::ExecPrerequisiteActions(session, prereq::readCheckActions(session, L"A")));

    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ(L"readPrerequisiteActions: return hr;", boxes.boxes()[0].caption);
    EXPECT_EQ(L"Finishing with code: 0x0", boxes.boxes()[0].text);
    EXPECT_EQ(L"ExecPrerequisiteActions: MsiDoAction(" + std::to_wstring(session) + L", \"NoSuchAction\") result",
              boxes.boxes()[1].caption);
    EXPECT_EQ(L"result = 0x65A", boxes.boxes()[1].text);  // ERROR_FUNCTION_NOT_CALLED
}

// ---- The install pass ----

TEST_F(PrerequisiteEngine, InstallPassRunsInstallStepsThatTheCheckPassTookButSkippedByCondition) {
    Add(PrerequisiteRow{1, L"TOOLS", L"Catalog tools", L"", L"", L"TOOLS_STATUS", L""});
    Add(StepRow{.id = L"TOOLS", .order = 1, .flags = 0x01, .property = L"CHECKED", .value = L"1"});
    Add(StepRow{.id = L"TOOLS",
                .order = 2,
                .flags = 0x22,
                .condition = L"INSTALLING",
                .property = L"SETUP_CODE",
                .value = L"started",
                .action = TestTool(L"exit:0"),
                .progressText = L"Installing tools",
                .duration = 3});
    Add(StepRow{.id = L"TOOLS", .order = 3, .flags = 0x02, .action = L"SetInstalled"});
    SettingAction(L"SetInstalled", L"TOOLS_STATUS", L"INSTALLED");

    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));
    EXPECT_EQ(L"1", Get(L"CHECKED"));
    EXPECT_EQ(L"", Get(L"SETUP_CODE"));
    EXPECT_EQ(L"OK", Get(L"CheckPrerequisitesResult"));

    Set(L"CHECKED", L"");
    Set(L"INSTALLING", L"1");
    EXPECT_EQ(0u, InstallPrerequisites(package.Session()));
    EXPECT_EQ(L"", Get(L"CHECKED"));
    EXPECT_EQ(L"0", Get(L"SETUP_CODE"));
    EXPECT_EQ(L"INSTALLED", Get(L"TOOLS_STATUS"));
    EXPECT_EQ(std::vector<int>({0, 3, 0, 0}), log.Progress().at(0));
}

// ---- With the library's own .NET check ----

TEST_F(PrerequisiteEngine, DotNetCheckRunsAsTheInstallerActionOfACheckStepInTheSameSession) {
    package.Binary(L"OndexSetupCA", TestFolder() + L"..\\bin\\OndexSetupCA.dll")
        .Property(L"STRINGRES_CHKRQ_PROD_STATUS_OK", L"Installed")
        .Property(L"STRINGRES_CHKRQ_PROD_STATUS_PRODUCTNOTFOUND", L"Not installed")
        .Row(L"CustomAction", {{L"Action", L"'CheckDotNetFx20'"}, {L"Type", L"1"}, {L"Source", L"'OndexSetupCA'"},
                               {L"Target", L"'CheckDotNetFx20'"}});
    Add(PrerequisiteRow{1, L"DOTNETFX20", L".NET Framework 2.0", L"2.0", L"CHKRQ_PRODDOTNETFX20_VERSIONFOUND",
                        L"CHKRQ_PRODDOTNETFX20_STATUSCODE", L"CHKRQ_PRODDOTNETFX20_STATUSTEXT"});
    Add(StepRow{.id = L"DOTNETFX20", .order = 1, .flags = 0x01, .action = L"CheckDotNetFx20"});
    constexpr wchar_t kServerKey[] =
        L"SOFTWARE\\Classes\\CLSID\\{99749841-0D55-4cf4-8D0D-F212ECE9409A}\\InprocServer32";
    struct Registration {
        ~Registration() {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID\\{99749841-0D55-4cf4-8D0D-F212ECE9409A}");
        }
    } registration;

    OndexRegistryScope::SetString(kServerKey, L"RuntimeVersion", L"v4.0.30319");
    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));
    EXPECT_EQ(L"E_FAILED", Get(L"CheckPrerequisitesResult"));
    // The slot shows what was found before the check ran.
    EXPECT_EQ((std::vector<std::wstring>{L".NET Framework 2.0", L"2.0", L"", L"", L""}), Slot(L"1"));
    EXPECT_EQ(L"E_NOT_INSTALLED", Get(L"CHKRQ_PRODDOTNETFX20_STATUSCODE"));
    EXPECT_EQ(L"4.0.30319", Get(L"CHKRQ_PRODDOTNETFX20_VERSIONFOUND"));

    OndexRegistryScope::SetString(kServerKey, L"RuntimeVersion", L"v2.0.50727");
    EXPECT_EQ(0u, CheckPrerequisites(package.Session()));
    EXPECT_EQ(L"OK", Get(L"CheckPrerequisitesResult"));
    EXPECT_EQ(kBlankSlot, Slot(L"1"));
    // The check writes the prerequisite's own display properties, after the engine did.
    EXPECT_EQ((std::vector<std::wstring>{L".NET Framework 2.0", L"2.0", L"2.0.50727", L"Installed", L"OK"}),
              Slot(L"DOTNETFX20"));
    EXPECT_EQ(L"2.0.50727", Get(L"MsiNetAssemblySupport"));
}
