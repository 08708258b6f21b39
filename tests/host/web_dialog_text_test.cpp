// The web-site dialog's port rules and choices, on plain values.
#include <gtest/gtest.h>

#include <string>

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
