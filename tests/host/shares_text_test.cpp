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

TEST(SharePaths, OneTrailingBackslashIsIgnoredAndCaseCounts) {
    EXPECT_EQ(L"C:\\Catalog", WithoutTrailingBackslash(L"C:\\Catalog\\"));
    EXPECT_EQ(L"C:\\Catalog\\", WithoutTrailingBackslash(L"C:\\Catalog\\\\"));
    EXPECT_EQ(L"", WithoutTrailingBackslash(L""));
    EXPECT_EQ(kShareSameFolder, CompareSharedPath(L"C:\\Catalog", L"C:\\Catalog\\"));
    EXPECT_EQ(kShareOtherFolder, CompareSharedPath(L"C:\\Catalog", L"c:\\catalog"));
    EXPECT_EQ(kShareOtherFolder, CompareSharedPath(L"C:\\Catalog\\", L"C:\\Catalog"));
}

TEST(CatalogFolder, EmptyThenRootThenRemoteAreRejectedInThatOrder) {
    EXPECT_EQ(L"ERR_PROP", RejectCatalogFolder(L"")->verdict);
    EXPECT_EQ(L"ERR_ROOT", RejectCatalogFolder(L"C:\\")->verdict);
    EXPECT_EQ(L"ERR_ROOT", RejectCatalogFolder(L"\\\\a")->verdict);
    EXPECT_EQ(L"CATALOGPATH must be local.", RejectCatalogFolder(L"\\\\srv\\share")->logLine);
    EXPECT_FALSE(RejectCatalogFolder(L"C:\\a").has_value());
}
