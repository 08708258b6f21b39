// The summary page text and the processor count, on plain values.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "prereq/ui_text.h"

using namespace ondex::prereq;

TEST(InstallationSummary, SectionsAppearOnlyForTheirChoices) {
    SummaryChoices choices{L"C:\\Ondex\\", L"Skip", L"C:\\Viewer\\", L"", L""};
    EXPECT_EQ(L"Destination location:\n    C:\\Ondex\\\n\n", ComposeInstallationSummary(choices));
    choices.reportViewerAction = L"localinstall";  // the comparison is exact
    choices.quickLaunchIcon = L"1";
    EXPECT_EQ(L"Destination location:\n    C:\\Ondex\\\n\nAdditional icons:\n    Create a Quick Launch icon\n",
              ComposeInstallationSummary(choices));
    choices.reportViewerAction = L"LocalInstall";
    choices.desktopIcon = L"1";
    EXPECT_EQ(L"Destination location:\n    C:\\Ondex\\\n\nOndex Report Viewer location:\n    C:\\Viewer\\\n\n"
              L"Additional icons:\n    Create a desktop icon\n    Create a Quick Launch icon\n",
              ComposeInstallationSummary(choices));
}

namespace {
// 32-byte little-endian entries: mask, relationship, then padding and union.
std::vector<unsigned char> Entries(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& items) {
    std::vector<unsigned char> bytes;
    for (const auto& [mask, relationship] : items) {
        std::vector<unsigned char> entry(kProcessorEntryBytes, 0xEE);
        for (int i = 0; i < 8; ++i) entry[i] = static_cast<unsigned char>(mask >> (8 * i));
        for (int i = 0; i < 4; ++i) entry[8 + i] = static_cast<unsigned char>(relationship >> (8 * i));
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    return bytes;
}
}  // namespace

TEST(ProcessorCount, CoresAndTheirMaskBitsCountOtherEntriesAndPartialTailsDoNot) {
    auto bytes = Entries({{0x3, 0}, {0xFFFF, 2}, {0xC000000000000000ull, 0}, {0x1, 3}});
    bytes.resize(bytes.size() + 31, 0);  // a partial entry with a core relationship
    const ProcessorCount count = CountProcessorCores(bytes.data(), bytes.size());
    EXPECT_EQ(2u, count.cores);
    EXPECT_EQ(4u, count.logical);
    EXPECT_FALSE(MoreThanTwoThreadsPerCore(count));
    EXPECT_EQ(0u, CountProcessorCores(nullptr, 64).cores);
}

TEST(ProcessorCount, MoreThanTwoThreadsPerCoreUsesIntegerDivision) {
    EXPECT_FALSE(MoreThanTwoThreadsPerCore({0, 8}));
    EXPECT_FALSE(MoreThanTwoThreadsPerCore({2, 5}));
    EXPECT_TRUE(MoreThanTwoThreadsPerCore({2, 6}));
    EXPECT_TRUE(MoreThanTwoThreadsPerCore({4, 16}));
}
