// Local groups in real sessions: the LocalGroup table and component states
// come from the engine, the group and membership calls from a small stateful
// stand-in for the local account database behind the seam.
#include <gtest/gtest.h>
#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/deferred_text.h"
#include "system/local_groups_package.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

constexpr wchar_t S = ondex::runtime::kDeferredSeparator;
constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Ondex\\Setup";
constexpr wchar_t kUserSid[] = L"S-1-5-21-1-2-3-1001";

// The machine's local groups and their members (member names, or SIDs as
// text), with error codes a test injects per group.
struct LocalAccounts {
    std::map<std::wstring, std::set<std::wstring>> groups;
    std::map<std::wstring, std::wstring> comments;
    std::map<std::wstring, NET_API_STATUS> failCreate, failAddTo;
    NET_API_STATUS existsCode = NERR_GroupExists;
    Lines calls;
} g;

NET_API_STATUS NET_API_FUNCTION GroupAdd(LPCWSTR server, DWORD level, LPBYTE buffer, LPDWORD) {
    const auto& info = *reinterpret_cast<LOCALGROUP_INFO_1*>(buffer);
    if (server != nullptr || level != 1) return ERROR_INVALID_PARAMETER;
    const std::wstring name = info.lgrpi1_name;
    g.calls.push_back(L"create " + name);
    if (g.failCreate.count(name)) return g.failCreate[name];
    if (g.groups.count(name)) return g.existsCode;
    g.groups[name];
    g.comments[name] = info.lgrpi1_comment;
    return NERR_Success;
}

std::wstring MemberText(DWORD level, LPBYTE buffer) {
    if (level == 3) return reinterpret_cast<LOCALGROUP_MEMBERS_INFO_3*>(buffer)->lgrmi3_domainandname;
    LPWSTR sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<LOCALGROUP_MEMBERS_INFO_0*>(buffer)->lgrmi0_sid, &sid);
    std::wstring text = sid;
    LocalFree(sid);
    return text;
}

NET_API_STATUS NET_API_FUNCTION GroupAddMembers(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE buffer,
                                                DWORD count) {
    if (server != nullptr || count != 1 || (level != 0 && level != 3)) return ERROR_INVALID_PARAMETER;
    const std::wstring member = MemberText(level, buffer);
    g.calls.push_back(L"add " + member + L" to " + group);
    if (g.failAddTo.count(group)) return g.failAddTo[group];
    if (!g.groups.count(group)) return NERR_GroupNotFound;
    return g.groups[group].insert(member).second ? NERR_Success : ERROR_MEMBER_IN_ALIAS;
}

struct LocalGroups : testing::Test {
    OndexRegistryScope registry;
    TestPackage package;
    LogCapture log;
    MessageBoxScript boxes;
    ScopedApiOverride seam;

    void SetUp() override {
        g = LocalAccounts{};
        g.groups[L"Administrators"] = {};
        seam.api().NetLocalGroupAdd = GroupAdd;
        seam.api().NetLocalGroupAddMembers = GroupAddMembers;
        LocalGroupPackage(package);
    }
    void Rows(const std::vector<LocalGroupRow>& rows) { LocalGroupRows(package, rows); }
    MSIHANDLE Costed() {
        const MSIHANDLE session = CostedLocalGroupSession(package, kUserSid);
        log.Clear();
        return session;
    }
    static bool LogoffMarked() {
        DWORD value = 0, size = sizeof value;
        return RegGetValueW(HKEY_LOCAL_MACHINE, kSetupKey, L"IsNeedLogoff", RRF_RT_REG_DWORD, nullptr, &value,
                            &size) == ERROR_SUCCESS &&
               value == 1;
    }
};

std::wstring Data(const std::wstring& name, const std::wstring& description, const std::wstring& parent,
                  const std::wstring& attributes, const wchar_t* function = L"CreateGroup") {
    return function + (S + name) + S + description + S + parent + S + attributes + S;
}

}  // namespace

// ---- Performing at once ----

TEST_F(LocalGroups, ImmediateCreatesNestsAndAddsTheAccountInKeyOrderOnlyForInstalledComponents) {
    Rows({{L"B", L"Core", L"Readers", L"Read only", L"Administrators", L"5"},
          {L"A", L"Core", L"Operators", L"Run backups", L"", L"9"},
          {L"AB", L"Core", L"Auditors", L"", L"Operators", L"1"},
          {L"0", L"Idle", L"Unused", L"", L"", L"9"}});
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));

    EXPECT_EQ((Lines{L"create Operators", std::wstring(L"add ") + kUserSid + L" to Operators", L"create Auditors",
                     L"add Auditors to Operators", L"create Readers", L"add Readers to Administrators"}),
              g.calls);
    EXPECT_EQ(L"Run backups", g.comments[L"Operators"]);
    EXPECT_EQ((std::set<std::wstring>{kUserSid, L"Auditors"}), g.groups[L"Operators"]);
    EXPECT_TRUE(LogoffMarked());
    // The mark was not there to clear.
    EXPECT_EQ((Lines{L"Open registry key failed."}), log.TimestampedLines());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(LocalGroups, ExistingGroupsAndMembershipsAreNoErrorsAndClearTheOldLogoffMark) {
    OndexRegistryScope::SetDword(kSetupKey, L"IsNeedLogoff", 1);
    g.groups[L"Operators"] = {L"Readers"};
    g.groups[L"Readers"] = {};
    Rows({{L"1", L"Core", L"Operators", L"", L"", L"3"}, {L"2", L"Core", L"Readers", L"", L"Operators", L"7"}});
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));
    g.existsCode = ERROR_ALIAS_EXISTS;
    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));

    EXPECT_EQ(6u, g.calls.size());  // both passes ran to the end
    EXPECT_FALSE(LogoffMarked());
    // The first pass took the old mark away; the second found none to take.
    EXPECT_EQ((Lines{L"Delete value from registry key failed."}), log.TimestampedLines());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(LocalGroups, RequiredBitsStopThePassWhereTheGroupCannotBeHad) {
    Rows({{L"1", L"Core", L"Loose", L"", L"Nowhere", L"1"},      // nesting fails, not required
          {L"2", L"Core", L"Blocked", L"", L"", L"3"},           // creation fails, required
          {L"3", L"Core", L"Later", L"", L"", L"1"}});
    g.failCreate[L"Blocked"] = ERROR_ACCESS_DENIED;
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));
    EXPECT_EQ((Lines{L"create Loose", L"add Loose to Nowhere", L"create Blocked"}), g.calls);
    EXPECT_EQ((Lines{L"executeCreateLocalGroups: Perform group creation|Error creating group: Blocked"}), boxes.Shown());
}

TEST_F(LocalGroups, RequiredNestingThatFailsStopsWithAnErrorLineButTheActionSucceeds) {
    Rows({{L"1", L"Core", L"Nested", L"", L"Nowhere", L"5"}, {L"2", L"Core", L"Later", L"", L"", L"1"}});
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));
    EXPECT_EQ((Lines{L"create Nested", L"add Nested to Nowhere"}), g.calls);
    EXPECT_EQ((Lines{L"executeCreateLocalGroups: AddUserToGroup|Failed adding local group: Nested\nError: 2220"}),
              boxes.Shown());
    EXPECT_EQ((Lines{L"CreateLocalGroupsImmediate:  Error 0x80004005: failed to add/remove `CreateLocalGroups` actions"}),
              log.InfoLinesWith(L"failed to add/remove"));
    EXPECT_TRUE(LogoffMarked());  // the group itself was created
}

TEST_F(LocalGroups, ARowThatDemandsAGroupItDoesNotCreateStopsBothPasses) {
    Rows({{L"1", L"Core", L"First", L"", L"", L"1"},
          {L"2", L"Core", L"Fehlt \u20AC", L"", L"", L"4"},
          {L"3", L"Core", L"Later", L"", L"", L"1"}});
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));
    EXPECT_EQ((Lines{L"create First"}), g.calls);
    EXPECT_EQ(0u, CreateLocalGroups(session));
    EXPECT_EQ(L"CreateGroup" + (S + std::wstring(L"First")) + S + S + S + L"1" + S, package.Get(L"CreateGroup"));

    // A name outside Latin-1 (the euro sign) arrives whole in the narrow log.
    const std::wstring missing = L"Error 0x80070103: Local group \"Fehlt \u20AC\" doesn't exist.";
    EXPECT_EQ((Lines{L"CreateLocalGroupsImmediate:  " + missing, L"CreateLocalGroups:  " + missing}),
              log.InfoLinesWith(L"doesn't exist"));
}

TEST_F(LocalGroups, NullAttributesDoNothingButNestAndAnEmptyUserSidAddsNobody) {
    Rows({{L"1", L"Core", L"Plain", L"", L"Administrators", L"NULL"}, {L"2", L"Core", L"Users", L"", L"", L"9"}});
    const MSIHANDLE session = Costed();
    MsiSetPropertyW(session, L"UserSID", L"");

    EXPECT_EQ(0u, CreateLocalGroupsImmediate(session));
    EXPECT_EQ((Lines{L"add Plain to Administrators", L"create Users"}), g.calls);
    EXPECT_EQ(0u, CreateLocalGroups(session));
    EXPECT_EQ(Data(L"Users", L"", L"", L"9"), package.Get(L"CreateGroup"));
}

// ---- Scheduling and the deferred side ----

TEST_F(LocalGroups, SchedulingAddsCostPerRowAndTheDeferredSideActsOnExactlyWhatTheEngineHolds) {
    package.Table(L"CustomAction").Row(L"CustomAction", {{L"Action", L"'CreateGroup'"}, {L"Type", L"1025"},
                                                          {L"Source", L"'OndexSetupCA'"}, {L"Target", L"'CreateGroup'"}});
    Rows({{L"B", L"Core", L"Readers", L"Read only", L"Administrators", L"13"},
          {L"A", L"Core", L"Operators", L"", L"", L"1"},
          {L"C", L"Idle", L"Unused", L"", L"", L"1"}});
    const MSIHANDLE session = Costed();

    EXPECT_EQ(0u, CreateLocalGroups(session));
    EXPECT_TRUE(g.calls.empty());
    EXPECT_EQ((std::vector<std::vector<int>>{{3, 3680, 0}, {3, 3680, 0}}), log.Progress());
    // The last row scheduled, in key order, holds the property now.
    const std::wstring data = package.Get(L"CreateGroup");
    EXPECT_EQ(Data(L"Readers", L"Read only", L"Administrators", L"13"), data);

    MsiSetPropertyW(session, L"CustomActionData", data.c_str());
    EXPECT_EQ(0u, CreateGroup(session));
    EXPECT_EQ((Lines{L"create Readers", L"add Readers to Administrators",
                     std::wstring(L"add ") + kUserSid + L" to Readers"}),
              g.calls);
    EXPECT_EQ(L"Read only", g.comments[L"Readers"]);
    EXPECT_FALSE(LogoffMarked());  // the deferred run never marks
}

TEST_F(LocalGroups, DeferredStopsEndWithSuccessAndBadDataWithFatalError) {
    const MSIHANDLE session = package.Session();
    const auto run = [&](UINT(__stdcall * action)(MSIHANDLE), const std::wstring& data) {
        MsiSetPropertyW(session, L"CustomActionData", data.c_str());
        return action(session);
    };
    g.failCreate[L"Blocked"] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(0u, run(CreateGroup, Data(L"Blocked", L"", L"Administrators", L"3")));
    EXPECT_EQ(0u, run(CreateGroup, Data(L"Orphan", L"", L"Nowhere", L"5")));
    EXPECT_EQ((Lines{L"create Blocked", L"create Orphan", L"add Orphan to Nowhere"}), g.calls);
    EXPECT_EQ((Lines{L"CreateGroup: Perform group creation|Error creating group: Blocked",
                     L"CreateGroup: AddUserToGroup|Failed adding local group: Orphan\nError: 2220"}),
              boxes.Shown());

    g.calls.clear();
    const std::wstring removal = Data(L"Ops", L"", L"", L"1", L"RemoveGroup");
    EXPECT_EQ(1603u, run(CreateGroup, removal));
    EXPECT_EQ(1603u, run(RemoveGroup, removal));
    EXPECT_EQ(1603u, run(CreateGroup, L""));
    EXPECT_EQ(1603u, run(CreateGroup, L"CreateGroupX" + (S + std::wstring(L"Ops"))));
    // Data that ends early: nothing is done, and that is no failure.
    EXPECT_EQ(0u, run(CreateGroup, L"CreateGroup" + (S + std::wstring(L"Ops")) + S));
    EXPECT_TRUE(g.calls.empty());
}

TEST_F(LocalGroups, RemovalReadsTheTableButChangesNothing) {
    Rows({{L"1", L"Core", L"Operators", L"", L"", L"15"}});
    const MSIHANDLE session = Costed();
    EXPECT_EQ(0u, RemoveLocalGroups(session));

    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"RemoveGroup", 0x102);
    MsiSetPropertyW(session, L"CustomActionData", Data(L"Operators", L"", L"", L"15").c_str());
    EXPECT_EQ(0u, RemoveGroup(session));
    EXPECT_TRUE(g.calls.empty());
    EXPECT_EQ((Lines{L"RemoveGroup: Perform group removal|NOT IMPLEMENTED!"}), boxes.Shown());
}

TEST_F(LocalGroups, AMissingTableIsLoggedAndTheActionsStillSucceed) {
    package.Sql(L"DROP TABLE `LocalGroup`");
    const MSIHANDLE session = Costed();
    for (auto action : {CreateLocalGroups, CreateLocalGroupsImmediate, RemoveLocalGroups}) EXPECT_EQ(0u, action(session));
    EXPECT_EQ(3u, log.InfoLinesWith(L"failed to open view on LocalGroup table").size());
    EXPECT_EQ(3u, log.InfoLinesWith(L"while reading `LocalGroup` table.").size());
    EXPECT_TRUE(g.calls.empty());
}

TEST_F(LocalGroups, AFieldTheDataLacksIsReportedWithTheActionsFlagsAndCaption) {
    const MSIHANDLE session = package.Session();
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"INTF_deserializeNxtToken", 0);
    const std::wstring shortData = L"CreateGroup" + (S + std::wstring(L"Ops")) + S;
    for (auto action : {CreateGroup, RemoveGroup}) {
        MsiSetPropertyW(session, L"CustomActionData", shortData.c_str());
        EXPECT_EQ(0u, action(session));
    }
    EXPECT_EQ((Lines{L"CreateGroup: Getting CA data|Error 0x80070103 reading token cszDescription",
                     L"RemoveGroup: Getting CA data|Error 0x80070103 reading token cszDescription"}),
              boxes.Shown());
}
