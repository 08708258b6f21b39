#include <gtest/gtest.h>

#include "system/shares_text.h"

using namespace ondex::system;

namespace {
using Items = std::vector<std::wstring>;
}  // namespace

TEST(ShareItems, EveryBarEndsAnItemAndEmptyItemsCount) {
    EXPECT_EQ(Items{}, SplitItems(L""));
    EXPECT_EQ((Items{L"C:\\Catalog"}), SplitItems(L"C:\\Catalog"));
    EXPECT_EQ((Items{L"C:\\Catalog", L"Catalog"}), SplitItems(L"C:\\Catalog|Catalog"));
    EXPECT_EQ((Items{L"", L""}), SplitItems(L"|"));
    EXPECT_EQ((Items{L"a", L"", L"b", L""}), SplitItems(L"a||b|"));
}
