// The web-site dialog's port rules and choices, on plain values.
#include <gtest/gtest.h>

#include <string>

#include "iis/web_deploy_text.h"
#include "iis/web_dialog_text.h"

using namespace ondex::iis;

TEST(WebPorts, TheIisCheckRewritesDigitsAndRefusesTheRestBeforeAnySiteIsAsked) {
    struct Case { const wchar_t* port; const wchar_t* verdict; const wchar_t* rewritten; };
    for (const Case& c : {Case{L"0080", L"", L"80"}, {L"70000", L"", L"70000"}, {L"000", L"", L"0"},
                          {L"123456", L"E_TCPPORTVALUE_TOOLONG", L"123456"},
                          {L"000000000000000000000099999", L"", L"99999"},
                          {L"", L"E_TCPPORTVALUE_EMPTY", L""}, {L"8a", L"E_TCPPORTVALUE_NOTNUMERIC", L""},
                          {L" 80", L"E_TCPPORTVALUE_NOTNUMERIC", L""}, {L"\u0661", L"E_TCPPORTVALUE_NOTNUMERIC", L""}}) {
        std::wstring rewritten;
        EXPECT_EQ(c.verdict, WebPortVerdict(c.port, rewritten)) << c.port;
        EXPECT_EQ(c.rewritten, rewritten) << c.port;
    }
}

TEST(WebPorts, TheLocalCheckWantsANumberFromOneTo65535AndWarnsOnSystemPorts) {
    struct Case { const wchar_t* text; const wchar_t* verdict; std::uint16_t port; };
    for (const Case& c : {Case{L"", L"ERR_EMPTY", 0}, {L"8a", L"ERR_LETTERS", 0}, {L"-1", L"ERR_LETTERS", 0},
                          {L"0", L"ERR_OUTOFRANGE", 0}, {L"65536", L"ERR_OUTOFRANGE", 0},
                          {L"99999999999999999999", L"ERR_OUTOFRANGE", 0}, {L"065535", L"", 65535},
                          {L"1", L"", 1}}) {
        std::wstring rewritten;
        std::uint16_t port = 0;
        EXPECT_EQ(c.verdict, LocalPortVerdict(c.text, rewritten, port)) << c.text;
        EXPECT_EQ(c.port, port) << c.text;
    }
    int system = 0;
    for (unsigned port = 1; port <= 65535; ++port) system += IsSystemPort(static_cast<std::uint16_t>(port));
    EXPECT_EQ(20, system);
    EXPECT_STREQ(L"WARN_SYSTEM", LocalPortUseVerdict(PortUse::Free, 3389));
    EXPECT_STREQ(L"OK", LocalPortUseVerdict(PortUse::Free, 8080));
    EXPECT_STREQ(L"ERR_NOTAVAIL", LocalPortUseVerdict(PortUse::InUse, 80));
    EXPECT_STREQ(L"ERR_UNKNOWN", LocalPortUseVerdict(PortUse::Undetermined, 80));
}

TEST(ConfigureWebData, EighteenFieldsInOrderWithoutASeparatorAfterTheLast) {
    ConfigureWebProperties p;
    p.baseWebDir = L"C:\\Base\\", p.webAccessDir = L"C:\\Access\\", p.siteId = L"3x", p.siteName = L"Reports";
    p.virtualRoot = L"Almanac", p.tcpPort = L"8080", p.hostHeader = L"host", p.ipAddress = L"";
    p.readers[0] = L"r1", p.readers[1] = L"r2", p.readers[2] = L"r3";
    p.writers[0] = L"w1", p.writers[1] = L"", p.writers[2] = L"w3";
    const std::wstring S(1, L'\x0001');
    EXPECT_EQ(L"ConfigureWeb" + S + L"2" + S + L"C:\\Base\\" + S + L"C:\\Access\\" + S + L"2" + S +
                  L"OndexAlmanacEnterprise" + S + L"OndexWebAccess" + S + L"/LM/W3SVC/3x" + S + L"Reports" + S + L"1" +
                  S + L"Almanac" + S + L"Home.aspx" + S + L"C:\\Access\\" + S + L"268435456" + S + L"3" + S + L"8080" +
                  S + L"host" + S + S + L"ASP.NET v2.0" + S + L"3" + S + L"r1" + S + L"r2" + S + L"r3" + S + L"3" + S +
                  L"w1" + S + S + L"w3" + S + L"2" + S + L"-2147483648" + S + L"268435456",
              WriteConfigureWebData(p));
    p.siteId.clear();
    EXPECT_NE(std::wstring::npos, WriteConfigureWebData(p).find(L"/LM/W3SVC/" + S + L"Reports"));
    p.siteId = L" -7";  // the site number takes leading digits only
    EXPECT_NE(std::wstring::npos, WriteConfigureWebData(p).find(L"268435456" + S + L"0" + S + L"8080"));
}
