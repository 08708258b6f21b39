#include <gtest/gtest.h>

#include "runtime/trace_flags.h"

using namespace ondex::runtime;

TEST(TraceFlagText, DecimalParseFollowsTheCLibraryRules) {
    EXPECT_EQ(12u, ParseDecimal(L"12abc"));
    EXPECT_EQ(0u, ParseDecimal(L"abc"));
    EXPECT_EQ(0u, ParseDecimal(L""));
    EXPECT_EQ(0xFFFFFFFFu, ParseDecimal(L"-1"));
    EXPECT_EQ(260u, ParseDecimal(L"  +260"));
    EXPECT_EQ(0u, ParseDecimal(L"- 5"));
}

TEST(TraceFlagText, MasksCombineAsAndThenXor) {
    EXPECT_EQ(0x101u, CombineTracerFlags(0x101, std::nullopt, std::nullopt));
    EXPECT_EQ(0x301u, CombineTracerFlags(0x101, 0x200u, std::nullopt));  // AND/OR mask alone ORs
    EXPECT_EQ(0x100u, CombineTracerFlags(0x101, 0x200u, 0x100u));
    EXPECT_EQ(0x7u, CombineTracerFlags(0x101, std::nullopt, 0x7u));
}

TEST(TraceFlagText, EventLevelPrefersTraceOverErrorOverAssert) {
    EXPECT_EQ(TF_TRACE, EventLevel(0x707));
    EXPECT_EQ(TF_ERROR, EventLevel(0x103));
    EXPECT_EQ(TF_ASSERT, EventLevel(0x101));
    EXPECT_EQ(0u, EventLevel(0x700));
}
