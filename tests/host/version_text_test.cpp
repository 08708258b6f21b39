#include <gtest/gtest.h>

#include <string>

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

TEST(ParseVersionString, OnlyTheFirstTwoComponentsCount) {
    const VersionInfo runtime = Parsed(L"2.0.50727");
    EXPECT_EQ(kVersionHasMajor | kVersionHasMinor, runtime.flags);
    EXPECT_EQ(2, runtime.major);
    EXPECT_EQ(0, runtime.minor);
    EXPECT_STREQ(L"2.0.50727", runtime.text);

    const VersionInfo bare = Parsed(L"4");
    EXPECT_EQ(kVersionHasMajor, bare.flags);
    EXPECT_EQ(4, bare.major);

    const VersionInfo padded = Parsed(L" 12.  7beta");
    EXPECT_EQ(12, padded.major);
    EXPECT_EQ(7, padded.minor);
}

TEST(ParseVersionString, TextsThatAreNoNumbersGiveZeroAndPresentParts) {
    const VersionInfo prefixed = Parsed(L"v4.0.30319");  // the registry's form, before the v is dropped
    EXPECT_EQ(kVersionHasMajor | kVersionHasMinor, prefixed.flags);
    EXPECT_EQ(0, prefixed.major);
    EXPECT_EQ(0, prefixed.minor);

    const VersionInfo empty = Parsed(L"");
    EXPECT_EQ(kVersionHasMajor, empty.flags);
    EXPECT_EQ(0, empty.major);

    EXPECT_EQ(0, ParseVersionString(L"2.0", nullptr));
}

TEST(ParseVersionString, KeepsTwentyThreeCharactersAndADotBeyondThemIsNoMinor) {
    const std::wstring longMajor = std::wstring(23, L'1') + L".5";
    const VersionInfo cut = Parsed(longMajor);
    EXPECT_EQ(longMajor.substr(0, 23), cut.text);
    EXPECT_EQ(kVersionHasMajor, cut.flags);
    EXPECT_EQ(29127, cut.major);  // 11...1 (23 ones) modulo 2^16

    const VersionInfo stopped = Parsed(std::wstring_view(L"3\0.9", 4));
    EXPECT_STREQ(L"3", stopped.text);
    EXPECT_EQ(kVersionHasMajor, stopped.flags);

    EXPECT_EQ(70000 % 65536, Parsed(L"70000.65537").major);
    EXPECT_EQ(1, Parsed(L"70000.65537").minor);
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
