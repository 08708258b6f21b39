// Deferred data loaded from "CustomActionData" of a real session and read
// back the way the deferred actions read it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "runtime/deferred_data.h"
#include "runtime/session.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::runtime;
using ondex::test::MessageBoxScript;
using ondex::test::OndexRegistryScope;
using ondex::test::TestPackage;

namespace {
size_t g_failAllocationsAbove = SIZE_MAX;
}  // namespace

// Memory runs out for blocks above the limit a test sets.
void* operator new(std::size_t size) {
    if (size > g_failAllocationsAbove) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return size > g_failAllocationsAbove ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

constexpr wchar_t S = kDeferredSeparator;
using Lines = std::vector<std::wstring>;

class DeferredData : public testing::Test {
protected:
    // Loads `data` as the session's CustomActionData; the context then
    // stands on its first token.
    UINT Load(const std::wstring& data) {
        MsiSetPropertyW(package_.Session(), L"CustomActionData", data.c_str());
        const UINT result = InitDeferredCAData(package_.Session(), buffer_, length_);
        context_ = buffer_.get();
        return result;
    }
    std::wstring Text(const wchar_t* name) {
        wchar_t* value = nullptr;
        EXPECT_EQ(S_OK, deserializeNxtToken(name, nameRead_, value, context_));
        EXPECT_STREQ(name, nameRead_);
        return value ? value : L"<none>";
    }
    DWORD Integer(const wchar_t* name) {
        DWORD value = 0;
        EXPECT_EQ(S_OK, deserializeNxtToken(name, nameRead_, value, context_));
        return value;
    }

    OndexRegistryScope registry_;  // no settings key: every scope has 0x101
    MessageBoxScript boxes_;
    TestPackage package_;
    std::unique_ptr<wchar_t[]> buffer_;
    size_t length_ = 0;
    wchar_t* context_ = nullptr;
    const wchar_t* nameRead_ = nullptr;
};

}  // namespace

TEST_F(DeferredData, TextsIntegersAndArraysReadBackIncludingEmptyOnesAndATrailingSeparator) {
    MsiProperty site(package_.Session(), L"WEBSITENAME");
    MsiSetPropertyW(package_.Session(), L"WEBSITENAME", L"Default Web Site");  // read afresh when written
    const std::wstring items = serializeArray({site, L"", -5});
    EXPECT_EQ(std::wstring(L"3") + S + L"Default Web Site" + S + S + L"-5", items);
    EXPECT_EQ(L"0", serializeArray({}));

    const std::wstring data = std::wstring(L"ConfigureWeb") + S + S + L"3" + S + items + S + L"0" + S + L"tail" + S;
    ASSERT_EQ(0u, Load(data));
    EXPECT_EQ(data.size() + 1, length_);
    ASSERT_TRUE(ReadFunctionName(context_, L"ConfigureWeb", 0x101, L"ConfigureWeb"));
    EXPECT_EQ(L"", Text(L"szDescription"));
    EXPECT_EQ(3u, Integer(L"dwAttributes"));
    DWORD count = 0;
    std::unique_ptr<wchar_t*[]> read;
    ASSERT_EQ(S_OK, deserializeNxtArray(L"arrSites", count, read, context_));
    ASSERT_EQ(3u, count);
    EXPECT_STREQ(L"Default Web Site", read[0]);
    EXPECT_STREQ(L"", read[1]);
    EXPECT_STREQ(L"-5", read[2]);

    ASSERT_EQ(S_OK, deserializeNxtArray(L"arrNone", count, read, context_));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(L"tail", Text(L"szLast"));  // the empty array took its count token only
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(DeferredData, TracedItemNamesCarryThreeDigits) {
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"INTF_deserializeNxtToken", 0x104);
    std::wstring data = L"F" + std::wstring(1, S) + L"124";
    for (int i = 0; i < 124; ++i) data += S + std::to_wstring(i);
    ASSERT_EQ(0u, Load(data));
    ASSERT_TRUE(ReadFunctionName(context_, L"F", 0x101, L"F"));
    DWORD count = 0;
    std::unique_ptr<wchar_t*[]> read;
    ASSERT_EQ(S_OK, deserializeNxtArray(L"arr", count, read, context_));
    EXPECT_STREQ(L"123", read[123]);

    const std::wstring shown = [&] {
        std::wstring all;
        for (const auto& box : boxes_.Shown()) all += box + L"\n";
        return all;
    }();
    EXPECT_NE(std::wstring::npos, shown.find(L"deserializeNxtToken: szTokenContext for 'arrayItem[007]' token|"));
    EXPECT_NE(std::wstring::npos, shown.find(L"deserializeNxtToken: New szTokenContext after got token: arrayItem[123]|"));
    EXPECT_EQ(L"deserializeNxtToken: deserializeData result: hr = 0|arrayItem[123] = `123`", boxes_.Shown().back());
}

TEST_F(DeferredData, IntegersParseTheirLeadingDigitsAndDataEndingEarlyFailsTheNextField) {
    ASSERT_EQ(0u, Load(std::wstring(L"F") + S + L"12abc" + S + L"-1"));
    ASSERT_TRUE(ReadFunctionName(context_, L"F", 0x101, L"F"));
    EXPECT_EQ(12u, Integer(L"dwA"));
    EXPECT_EQ(4294967295u, Integer(L"dwB"));
    DWORD value = 7;
    EXPECT_EQ(kHrNoMoreTokens, deserializeNxtToken(L"dwAttributes", nameRead_, value, context_));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(Lines{L"deserializeNxtToken: Getting CA data|Error 0x80070103 reading token dwAttributes|17"},
              boxes_.Shown(true));  // OK/Cancel, error icon
}

TEST_F(DeferredData, ArrayCountBeyondTheDataFailsBeforeAllocating) {
    for (const std::wstring count : {L"4294967295", L"5"}) {
        ASSERT_EQ(0u, Load(std::wstring(L"F") + S + count + S + L"a" + S + L"b"));
        ASSERT_TRUE(ReadFunctionName(context_, L"F", 0x101, L"F"));
        DWORD read = 0;
        std::unique_ptr<wchar_t*[]> items;
        EXPECT_EQ(kHrNoMoreTokens, deserializeNxtArray(L"arrX", read, items, context_));
        EXPECT_EQ(nullptr, items.get());
        const auto& shown = boxes_.boxes();
        ASSERT_LE(2u, shown.size());
        EXPECT_EQ(L"deserializeNxtToken: Getting CA data", shown[shown.size() - 2].caption);
        EXPECT_EQ(L"deserializeNxtArray: Error reading array arrX item", shown.back().caption);
        EXPECT_EQ(L"arrayItem[002]", shown.back().text);  // the first item missing
    }
}

TEST_F(DeferredData, DataTooLargeForMemoryEndsIn1603WithoutAnException) {
    MsiSetPropertyW(package_.Session(), L"CustomActionData", std::wstring(50000, L'x').c_str());
    g_failAllocationsAbove = 50000;
    UINT result = 0;
    EXPECT_NO_THROW(result = InitDeferredCAData(package_.Session(), buffer_, length_));
    g_failAllocationsAbove = SIZE_MAX;
    EXPECT_EQ(1603u, result);
    EXPECT_EQ(nullptr, buffer_.get());
    EXPECT_FALSE(WcaIsAttached());
}

TEST_F(DeferredData, ForeignFunctionNameIsRefusedAndEmptyDataLoadsAnEmptyBufferAfterAnAssertionBox) {
    ASSERT_EQ(0u, Load(std::wstring(L"CreateGroupX") + S + L"a"));
    EXPECT_FALSE(ReadFunctionName(context_, L"CreateGroup", 0x101, L"CreateGroup"));
    wchar_t nothing[] = {S, L'\0'};
    wchar_t* context = nothing;
    EXPECT_FALSE(ReadFunctionName(context, L"CreateGroup", 0x100, L"CreateGroup"));  // no TF_ASSERT: no box

    ASSERT_EQ(0u, Load(L""));
    EXPECT_EQ(1u, length_);
    EXPECT_STREQ(L"", buffer_.get());
    EXPECT_EQ((Lines{L"CreateGroup: Getting deferred CA data|Error reading token _FUNCTION_NAME: CreateGroup|17",
                     L"InitDeferredCAData: Getting deferred CA data|"
                     L"Empty custom action data in property \"CustomActionData\"|17"}),
              boxes_.Shown(true));
    EXPECT_FALSE(WcaIsAttached());  // the loading scope detached the layer
}
