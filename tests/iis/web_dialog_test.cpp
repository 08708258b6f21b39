// The web-site dialog's actions in real sessions; the local port check also
// against the real TCP table.
#include <winsock2.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

#include "iis/iis_fixture.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;

TEST(WebDialog, PreInitKeepsOnlyTheWebOfTheRunningWindowsVersionInAllThreeTables) {
    for (const auto& [version, kept] : {std::pair{L"501", L"DefaultWebSite"}, {L"601", L"PrismWeb"}}) {
        TestPackage package;
        AddWebTables(package);
        const MSIHANDLE session = package.Session();
        MsiSetPropertyW(session, L"VersionNT", version);
        EXPECT_EQ(0u, PreInitIIsWebData(session));
        EXPECT_EQ(Lines{kept}, package.Column(L"SELECT `Web` FROM `IIsWebSite`")) << version;
        EXPECT_EQ(Lines{kept}, package.Column(L"SELECT `Web_` FROM `IIsWebAddress`")) << version;
        EXPECT_EQ(Lines{kept}, package.Column(L"SELECT `Web_` FROM `IIsWebVirtualDir`")) << version;
    }
}

TEST(WebDialog, PreInitWithoutTheWebTablesLogsEachFailedQueryAndSucceeds) {
    TestPackage package;
    LogCapture log;
    EXPECT_EQ(0u, PreInitIIsWebData(package.Session()));
    EXPECT_EQ(6u, log.InfoLinesWith(L"failed to run the query: ").size());
}

TEST(WebDialog, InitSeedsTheDialogByWindowsVersion) {
    for (const auto& [version, expected] :
         {std::pair{L"501", Lines{L"", L"YES", L"Default Web Site", L"DefaultWebSite"}},
          {L"601", Lines{L"1", L"NO", L"", L""}}}) {
        TestPackage package;
        const MSIHANDLE session = package.Session();
        MsiSetPropertyW(session, L"VersionNT", version);
        EXPECT_EQ(0u, InitWebConfigGui(session));
        Lines got;
        for (const wchar_t* name : {L"TCPPORT", L"USEEXISTINGWEB", L"WEBSITENAME", L"WEBSITEID"})
            got.push_back(package.Get(name));
        EXPECT_EQ(expected, got) << version;
    }
}

namespace {

// A TCP table of one row for `port` in `state`, answered from the seam.
DWORD g_tablePort = 0, g_tableState = 0, g_tableStatus = NO_ERROR;
ULONG WINAPI ScriptedTcpTable(PMIB_TCPTABLE table, PULONG size, BOOL) {
    if (g_tableStatus != NO_ERROR) return g_tableStatus;
    if (*size < sizeof(MIB_TCPTABLE)) {
        *size = sizeof(MIB_TCPTABLE);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = 1;
    table->table[0].dwState = g_tableState;
    table->table[0].dwLocalPort = htons(static_cast<u_short>(g_tablePort));
    return NO_ERROR;
}

std::wstring CheckLocal(TestPackage& package, const std::wstring& port) {
    MsiSetPropertyW(package.Session(), L"CheckLocalTCPPORT", port.c_str());
    EXPECT_EQ(0u, CheckLocalTCP(package.Session()));
    return package.Get(L"CheckLocalTCPResult");
}

}  // namespace

TEST(WebDialog, LocalPortCheckFollowsTheTcpTable) {
    TestPackage package;
    ScopedApiOverride tcp;
    tcp.api().GetTcpTable = &ScriptedTcpTable;
    struct Case { const wchar_t* port; DWORD tablePort, state, status; const wchar_t* verdict; };
    for (const Case& c : {Case{L"8080", 8080, MIB_TCP_STATE_LISTEN, NO_ERROR, L"ERR_NOTAVAIL"},
                          {L"8080", 8080, MIB_TCP_STATE_CLOSED, NO_ERROR, L"OK"},
                          {L"8080", 8081, MIB_TCP_STATE_LISTEN, NO_ERROR, L"OK"},
                          {L"80", 8081, MIB_TCP_STATE_LISTEN, NO_ERROR, L"WARN_SYSTEM"},
                          {L"0080", 80, MIB_TCP_STATE_ESTAB, NO_ERROR, L"ERR_NOTAVAIL"},
                          {L"80", 80, MIB_TCP_STATE_LISTEN, ERROR_NOT_SUPPORTED, L"WARN_SYSTEM"},
                          {L"8a", 8080, MIB_TCP_STATE_LISTEN, NO_ERROR, L"ERR_LETTERS"}}) {
        g_tablePort = c.tablePort, g_tableState = c.state, g_tableStatus = c.status;
        EXPECT_EQ(c.verdict, CheckLocal(package, c.port)) << c.port << L" " << c.tablePort;
    }
    CheckLocal(package, L"00443");
    EXPECT_EQ(L"443", package.Get(L"CheckLocalTCPPORT"));  // rewritten in its decimal form
}

TEST(WebDialog, LocalPortCheckSeesARealListeningSocket) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, listen(listener, 1));
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::wstring port = std::to_wstring(ntohs(address.sin_port));

    TestPackage package;
    EXPECT_EQ(L"ERR_NOTAVAIL", CheckLocal(package, port));
    closesocket(listener);
    WSACleanup();
}

TEST(WebDialog, StoreTurnsTheChoiceIntoTheSiteProperties) {
    struct Case { const wchar_t* website; const wchar_t* type; Lines expected; };
    // WebCheckStat, WEBSITENAME, HOSTHEADER, IPADDRESS, TCPPORT
    for (const Case& c : {Case{L"1", L"", {L"S_OK", L"Existing", L"localhost", L"", L"8080"}},
                          {L"2", L"1", {L"S_OK", L"New", L"new.host", L"", L"8080"}},
                          {L"2", L"2", {L"S_OK", L"New", L"old.host", L"", L"8080"}},
                          {L"2", L"3", {L"S_OK", L"New", L"localhost", L"10.0.0.9", L"8080"}},
                          {L"2", L"4", {L"E_UNKNOWN", L"Old", L"old.host", L"10.0.0.1", L"81"}},
                          {L"3", L"1", {L"E_UNKNOWN", L"Old", L"old.host", L"10.0.0.1", L"81"}}}) {
        TestPackage package;
        package.Property(L"WEBSITENAME", L"Old").Property(L"HOSTHEADER", L"old.host")
            .Property(L"IPADDRESS", L"10.0.0.1").Property(L"TCPPORT", L"81")
            .Property(L"RADIO_WEBSITE", c.website).Property(L"COMBO_EXISTINGWEBSITENAME", L"Existing")
            .Property(L"EDIT_NEWWEBSITENAME", L"New").Property(L"EDIT_HOSTHEADER", L"new.host")
            .Property(L"EDIT_TCPPORT", L"8080").Property(L"EDIT_IPADDRESS", L"10.0.0.9");
        if (*c.type) package.Property(L"RADIO_NEWWEBSITETYPE", c.type);
        package.Property(L"TracerStoreWebConfig_TRACERFLAGS", L"1028");  // trace to the installer log
        LogCapture log;
        EXPECT_EQ(0u, StoreWebConfig(package.Session()));
        Lines got;
        for (const wchar_t* name : {L"WebCheckStat", L"WEBSITENAME", L"HOSTHEADER", L"IPADDRESS", L"TCPPORT"})
            got.push_back(package.Get(name));
        EXPECT_EQ(c.expected, got) << c.website << c.type;
        EXPECT_EQ(1u, log.InfoLinesWith(L"PROP VALUES:\n  WebCheckStat = \"" + c.expected[0] + L"\"").size());
        const bool invalid = c.expected[0] == L"E_UNKNOWN";
        EXPECT_EQ(invalid ? 1u : 0u, log.InfoLinesWith(L"Invalid case of RADIO_").size());
    }
}
