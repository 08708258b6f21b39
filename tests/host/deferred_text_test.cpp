#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/deferred_text.h"

using namespace ondex::runtime;

namespace {

constexpr wchar_t S = kDeferredSeparator;

// Takes every token the way a reader does and returns them as texts.
std::vector<std::wstring> ReadAll(std::wstring data) {
    std::vector<wchar_t> buffer(data.begin(), data.end());
    buffer.push_back(L'\0');
    wchar_t* context = buffer.data();
    std::vector<std::wstring> tokens;
    while (wchar_t* token = TakeNextToken(context)) tokens.emplace_back(token);
    return tokens;
}

}  // namespace

TEST(DeferredTokens, TokensArePointersIntoTheBufferWithSeparatorsOverwritten) {
    wchar_t buffer[] = {L'a', S, L'b', L'c', S, S, L'\0'};
    wchar_t* context = buffer;
    EXPECT_EQ(buffer, TakeNextToken(context));
    EXPECT_EQ(buffer + 2, TakeNextToken(context));
    EXPECT_EQ(buffer + 5, TakeNextToken(context));
    EXPECT_EQ(L'\0', buffer[1]);
    EXPECT_EQ(L'\0', buffer[4]);
    EXPECT_EQ(L'\0', buffer[5]);
    EXPECT_EQ(buffer + 6, context);
}

TEST(DeferredTokens, EmptyTokensAnywhereButAtTheVeryEnd) {
    EXPECT_EQ((std::vector<std::wstring>{L"", L"", L"x"}), ReadAll(std::wstring{S, S, L'x'}));
    EXPECT_EQ((std::vector<std::wstring>{L"x", L""}), ReadAll(std::wstring{L'x', S, S}));
    EXPECT_EQ((std::vector<std::wstring>{L""}), ReadAll(std::wstring{S}));
    EXPECT_TRUE(ReadAll(L"").empty());
}

TEST(DeferredTokens, FunctionNameSkipsLeadingSeparatorsAndMayBeMissing) {
    wchar_t leading[] = {S, S, L'F', S, L'v', L'\0'};
    wchar_t* context = leading;
    EXPECT_STREQ(L"F", TakeFirstToken(context));
    EXPECT_STREQ(L"v", TakeNextToken(context));

    wchar_t onlySeparators[] = {S, S, L'\0'};
    context = onlySeparators;
    EXPECT_EQ(nullptr, TakeFirstToken(context));
    wchar_t empty[] = {L'\0'};
    context = empty;
    EXPECT_EQ(nullptr, TakeFirstToken(context));
    context = nullptr;
    EXPECT_EQ(nullptr, TakeFirstToken(context));
    EXPECT_EQ(nullptr, TakeNextToken(context));
}

TEST(DeferredTokens, RemainingTokenCountMatchesWhatTheReaderCanTake) {
    for (std::wstring data : {std::wstring{}, std::wstring{S}, std::wstring{L'a'}, std::wstring{L'a', S},
                              std::wstring{S, L'a'}, std::wstring{L'a', S, S, L'b', L'c'}}) {
        const auto available = static_cast<std::uint32_t>(ReadAll(data).size());
        std::vector<wchar_t> buffer(data.begin(), data.end());
        buffer.push_back(L'\0');
        EXPECT_EQ(available, CountTokens(buffer.data(), 0xFFFFFFFFu));
        EXPECT_TRUE(HasTokens(buffer.data(), available));
        EXPECT_FALSE(HasTokens(buffer.data(), available + 1));
    }
    EXPECT_TRUE(HasTokens(nullptr, 0));
    EXPECT_FALSE(HasTokens(nullptr, 1));
}

TEST(DeferredArrays, ALoneEmptyItemEndsWithTheSeparatorAndNamesWrapAtAThousand) {
    EXPECT_EQ(std::wstring(L"1") + S, SerializeItems({L""}));
    EXPECT_EQ(L"arrayItem[000]", ArrayItemName(0));
    EXPECT_EQ(L"arrayItem[234]", ArrayItemName(1234));
    EXPECT_EQ(L"arrayItem[295]", ArrayItemName(4294967295u));
}

TEST(DeferredSplit, SemicolonsSplitAndTheRemainderAlwaysCounts) {
    EXPECT_TRUE(SplitString(L"").empty());
    EXPECT_EQ((std::vector<std::wstring>{L"one"}), SplitString(L"one"));
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), SplitString(L"one;two"));
    EXPECT_EQ((std::vector<std::wstring>{L"one", L""}), SplitString(L"one;"));
    EXPECT_EQ((std::vector<std::wstring>{L"", L""}), SplitString(L";"));
    EXPECT_EQ((std::vector<std::wstring>{L"", L"a", L"", L"b"}), SplitString(L";a;;b"));
}
