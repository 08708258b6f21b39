// The firewall work list: items, records and port numbers.
#include <gtest/gtest.h>

#include "system/firewall_text.h"

using namespace ondex::system;
using Items = std::vector<std::wstring>;

TEST(FirewallItems, EveryBarSeparatesAndEmptyItemsCount) {
    EXPECT_EQ(Items{}, SplitItems(L""));
    EXPECT_EQ((Items{L"Harbor"}), SplitItems(L"Harbor"));
    EXPECT_EQ((Items{L"", L""}), SplitItems(L"|"));
    EXPECT_EQ((Items{L"Harbor", L"C:\\a b\\svc.exe", L"", L"80,443", L""}), SplitItems(L"Harbor|C:\\a b\\svc.exe||80,443|"));
    EXPECT_EQ((Items{L"a\\", L"b"}), SplitItems(L"a\\|b"));  // no escape
}

TEST(FirewallItems, SevenItemsAreNoWholeAddRecordButTwoRemoveRecords) {
    EXPECT_TRUE(RecordCountMatches(1, kAddRecordItems));
    EXPECT_TRUE(RecordCountMatches(6, kAddRecordItems));
    EXPECT_FALSE(RecordCountMatches(7, kAddRecordItems));
    EXPECT_TRUE(RecordCountMatches(7, kRemoveRecordItems));
    EXPECT_FALSE(RecordCountMatches(0, kRemoveRecordItems));

    const auto add = AddRecords(SplitItems(L"cap|p1|n1|d1|80|g1|p2|n2|d2||g2"));
    ASSERT_EQ(2u, add.size());
    EXPECT_EQ(L"p2|n2|d2||g2", add[1].path + L"|" + add[1].name + L"|" + add[1].description + L"|" + add[1].ports +
                                  L"|" + add[1].group);
    const auto remove = RemoveRecords(SplitItems(L"cap|p1|n1|80|p2|n2|443,8080"));
    ASSERT_EQ(2u, remove.size());
    EXPECT_EQ(L"p2|n2|443,8080", remove[1].path + L"|" + remove[1].name + L"|" + remove[1].ports);
}

TEST(FirewallPorts, NonNumbersCountAsZeroAndEmptyPartsAreSkipped) {
    using Ports = std::vector<std::int32_t>;
    EXPECT_EQ(Ports{}, ParsePorts(L""));
    EXPECT_EQ((Ports{80, 443}), ParsePorts(L"80,443"));
    EXPECT_EQ((Ports{80, 443}), ParsePorts(L",80,, 443,"));
    EXPECT_EQ((Ports{0, 8080, 0}), ParsePorts(L"http,8080x,-1"));
    EXPECT_EQ((Ports{2147483647}), ParsePorts(L"99999999999999999999"));
}
