#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "prereq/version_text.h"

using namespace ondex::prereq;

namespace {

VersionInfo Parsed(std::wstring_view text) {
    VersionInfo version;
    EXPECT_EQ(1, ParseVersionString(text, &version));
    return version;
}

std::uint32_t Compare(std::wstring_view found, std::wstring_view required) {
    return VersionComparison(Parsed(found), Parsed(required));
}

}  // namespace

TEST(ParseVersionString, KeepsTwentyThreeCharactersAndReadsTheFirstTwoComponentsAsSixteenBitNumbers) {
    const std::wstring ones(23, L'1');
    // Each text parsed as "flags|major|minor|kept text" (flags: 1 major, 2 minor).
    for (const auto& [source, expected] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"2.0.50727", L"3|2|0|2.0.50727"},
             {L"4", L"1|4|0|4"},
             {L" 12.  7beta", L"3|12|7| 12.  7beta"},
             {L"v4.0.30319", L"3|0|0|v4.0.30319"},  // the registry's form, before the v is dropped
             {L"", L"1|0|0|"},
             {ones + L".5", L"1|29127|0|" + ones},  // 23 ones modulo 2^16; the dot beyond the kept text is no minor
             {std::wstring(L"3\0.9", 4), L"1|3|0|3"},
             {L"70000.65537", L"3|4464|1|70000.65537"},
         }) {
        const VersionInfo version = Parsed(source);
        EXPECT_EQ(expected, std::to_wstring(version.flags) + L"|" + std::to_wstring(version.major) + L"|" +
                                std::to_wstring(version.minor) + L"|" + version.text)
            << source;
    }
    EXPECT_EQ(0, ParseVersionString(L"2.0", nullptr));
}

TEST(VersionComparison, MajorDecidesFirstThenTheRequiredMinor) {
    EXPECT_EQ(kVersionSameMinor, Compare(L"2.0.50727", L"2.0"));
    EXPECT_EQ(kVersionNewerMajor, Compare(L"4.0.30319", L"2.0"));
    EXPECT_EQ(kVersionOlder, Compare(L"1.1.4322", L"2.0"));
    EXPECT_EQ(kVersionOlder, Compare(L"2.0", L"2.1"));
    EXPECT_EQ(kVersionNewerMinor, Compare(L"2.2", L"2.1"));
    // A found version without a minor part counts as minor 0.
    EXPECT_EQ(kVersionSameMinor, Compare(L"2", L"2.0"));
    EXPECT_EQ(kVersionOlder, Compare(L"2", L"2.1"));
}

TEST(VersionComparison, RequiredVersionWithoutMinorIsOnlyMetByTheSameParts) {
    EXPECT_EQ(kVersionNotComparable, Compare(L"2.0.50727", L"2"));
    EXPECT_EQ(kVersionSameMajor, Compare(L"2", L"2"));
    EXPECT_EQ(kVersionNewerMajor, Compare(L"3.5", L"2"));

    VersionInfo nothingRequired;  // not from ParseVersionString: no part at all
    EXPECT_EQ(kVersionNotComparable, VersionComparison(Parsed(L"2.0"), nothingRequired));
    VersionInfo nothingFound;
    EXPECT_EQ(kVersionOlder, VersionComparison(nothingFound, Parsed(L"2.0")));
    EXPECT_EQ(kVersionSameMinor, VersionComparison(nothingFound, Parsed(L"0.0")));
}
