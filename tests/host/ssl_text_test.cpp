#include <gtest/gtest.h>

#include "iis/ssl_text.h"

using namespace ondex::iis;

TEST(SslText, DataSplitsAtEveryThreeBarsAndNeedsFourFields) {
    const struct { const wchar_t* data; bool parsed; const wchar_t *sitePort, *sslPort, *hash; } cases[] = {
        {L"C:\\Tools|||80|||host", false, L"", L"", nullptr},
        {L"C:\\Tools|||80|||host|||443", true, L"80", L"443", nullptr},
        {L"C:\\Tools|||80|||host|||443|||", true, L"80", L"443", L""},
        {L"C:\\Tools|||80|||host|||443|||AB01|||extra", true, L"80", L"443", L"AB01"},
        {L"a||||b|||c|||d", true, L"|b", L"d", nullptr},  // the first three bars separate
    };
    for (const auto& c : cases) {
        const auto request = ParseSslData(c.data);
        ASSERT_EQ(c.parsed, request.has_value()) << c.data;
        if (!request) continue;
        EXPECT_EQ(c.sitePort, request->sitePort) << c.data;
        EXPECT_EQ(c.sslPort, request->sslPort) << c.data;
        EXPECT_EQ(c.hash != nullptr, request->certificateHash.has_value()) << c.data;
        if (c.hash) EXPECT_EQ(c.hash, *request->certificateHash) << c.data;
    }
}

TEST(SslText, SelfSslCommandLineNamesToolNameSiteAndPort) {
    const auto request = ParseSslData(L"C:\\Tools|||80|||host|||443");
    EXPECT_EQ(L"\"C:\\Tools\\selfssl.exe\" /T /N:CN=host /V:3650 /S:3 /P:443 /Q", SelfSslCommandLine(*request, L"3"));
}
