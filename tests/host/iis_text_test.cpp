// The metabase layer's pure decisions: bindings, ports, hashes, ';' lists,
// the extension list walk and the next free site number.
#include <gtest/gtest.h>

#include "iis/iis_text.h"

using namespace ondex::iis;
using namespace std::string_literals;

TEST(IisServerBinding, SplitsAtTheFirstTwoColonsOrNotAtAll) {
    const struct {
        std::wstring text;
        std::optional<SiteBinding> parts;
    } cases[] = {
        {L":80:", SiteBinding{L"", L"80", L""}},
        {L"10.0.0.1:8080:www.ondex.test", SiteBinding{L"10.0.0.1", L"8080", L"www.ondex.test"}},
        {L"::", SiteBinding{}},
        {L"a:b:c:d", SiteBinding{L"a", L"b", L"c:d"}},
        {L"", std::nullopt},
        {L"80", std::nullopt},
        {L"10.0.0.1:80", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(c.parts, SplitServerBinding(c.text)) << c.text;
}

TEST(IisServerBinding, PortIsItsLeadingDigitsAndStarsMatchAnything) {
    EXPECT_EQ(80u, ParseDecimalPrefix(L"80"));
    EXPECT_EQ(443u, ParseDecimalPrefix(L"443abc"));
    EXPECT_EQ(0u, ParseDecimalPrefix(L""));
    EXPECT_EQ(0u, ParseDecimalPrefix(L" 80"));
    EXPECT_EQ(0xFFFFFFFFu, ParseDecimalPrefix(L"99999999999999999999"));

    const SiteBinding site{L"10.0.0.1", L"80", L"Www"};
    const struct {
        const wchar_t* ip;
        std::uint32_t port;
        const wchar_t* host;
        bool matches;
    } cases[] = {
        {L"*", 80, L"*", true},         {L"10.0.0.1", 80, L"Www", true}, {L"*", 81, L"*", false},
        {L"10.0.0.2", 80, L"*", false}, {L"*", 80, L"www", false},       {L"", 80, L"*", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.matches, BindingMatches(site, c.ip, c.port, c.host)) << c.ip << L" " << c.port << L" " << c.host;
}

TEST(IisServerBinding, FirstStringEndsAtItsNulOrTheBuffer) {
    const wchar_t multi[] = L":80:\0:443:\0";
    EXPECT_EQ(L":80:", FirstString(multi, 11));
    EXPECT_EQ(L":8", FirstString(multi, 2));
    EXPECT_EQ(L"", FirstString(nullptr, 4));
}

TEST(IisCertificateHash, TwoHexCharactersPerByteInEitherCase) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ((Bytes{0x0A, 0xBC, 0xDE, 0xF9}), HashBytes(L"0ABCDEF9"));
    EXPECT_EQ(HashBytes(L"0ABCDEF9"), HashBytes(L"0abcdef9"));
    EXPECT_EQ((Bytes{0x12}), HashBytes(L"123"));
    EXPECT_EQ((Bytes{0x00, 0x50}), HashBytes(L"zz5g"));
    EXPECT_EQ(Bytes{}, HashBytes(L""));
}

TEST(IisMultiString, SemicolonListBecomesNulSeparatedWithItsLength) {
    const struct {
        std::wstring list;
        std::optional<std::wstring> record;
    } cases[] = {
        {L":443:", L":443:\0\0"s},
        {L"a;b", L"a\0b\0\0"s},
        {L"a;", L"a\0\0\0"s},
        {L";", L"\0\0\0"s},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(c.record, MultiStringFromList(c.list)) << c.list;
}

TEST(IisExtensionList, FirstEntryContainingTheTextBeforeTheEmptyString) {
    const std::wstring list = L"0,a.dll,ASP.NET v1.1\0" L"0,b.dll,ASP.NET v2.0\0" L"0,c.dll,ASP.NET v2.0x\0\0" L"1,d,late\0"s;
    EXPECT_EQ(std::optional<size_t>(21), FindListEntry(list, L"ASP.NET v2.0"));
    EXPECT_EQ(std::optional<size_t>(0), FindListEntry(list, L"0,"));
    EXPECT_EQ(std::nullopt, FindListEntry(list, L"asp.net"));
    EXPECT_EQ(std::nullopt, FindListEntry(list, L"late"));
    EXPECT_EQ(std::optional<size_t>(0), FindListEntry(L"no terminator"s, L"term"));
    EXPECT_EQ(std::nullopt, FindListEntry(L""s, L""));
}

TEST(IisSiteIds, NextFreeIdIsTheSmallestUnusedPositiveNumber) {
    using Ids = std::vector<std::uint32_t>;
    const struct {
        Ids used;
        std::uint64_t next;
    } cases[] = {
        {{1, 2, 4}, 3}, {{2, 3}, 1}, {{}, 1}, {{4, 2, 1}, 3}, {{0, 1, 1}, 2}, {{0xFFFFFFFF}, 1}, {{1, 0xFFFFFFFF}, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.next, NextFreeSiteId(c.used));
}
