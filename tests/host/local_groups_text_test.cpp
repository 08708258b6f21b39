#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/deferred_text.h"
#include "system/local_groups_text.h"

using namespace ondex::system;

namespace {

constexpr wchar_t S = ondex::runtime::kDeferredSeparator;

std::vector<std::wstring> Ordered(const std::vector<std::wstring>& keys) {
    std::vector<std::wstring> ordered;
    for (std::size_t index : SelectionOrder(keys)) ordered.push_back(keys[index]);
    return ordered;
}

}  // namespace

TEST(LocalGroupOrder, KeysSortByCodeUnitsWithPrefixesFirstWhateverTheInputOrder) {
    const std::vector<std::wstring> expected{L"A", L"AB", L"B"};
    EXPECT_EQ(expected, Ordered({L"B", L"A", L"AB"}));
    // Upper case before lower case, digits before letters: plain code units, no collation.
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"Z", L"a", L"\u00e9"}), Ordered({L"a", L"\u00e9", L"Z", L"1"}));
    EXPECT_TRUE(SelectionOrder({}).empty());
}

TEST(LocalGroupAttributes, OnlyADemandWithoutCreationTakesTheGroupAsMissing) {
    EXPECT_TRUE(GroupTakenAsMissing(LGA_CREATE_REQUIRED));
    EXPECT_TRUE(GroupTakenAsMissing(LGA_PARENT_REQUIRED | LGA_ADD_USER));
    EXPECT_FALSE(GroupTakenAsMissing(LGA_CREATE | LGA_CREATE_REQUIRED | LGA_PARENT_REQUIRED));
    EXPECT_FALSE(GroupTakenAsMissing(LGA_ADD_USER));
    EXPECT_FALSE(GroupTakenAsMissing(0x80000000u));  // a null Attributes cell
}

TEST(CreateGroupData, WriterEndsEveryTokenWithTheSeparatorAndFitsItsBuffer) {
    const GroupRequest request{L"Operators", L"", L"Admins", 3};
    const std::wstring data = WriteCreateGroupData(request);
    EXPECT_EQ(std::wstring(L"CreateGroup") + S + L"Operators" + S + S + L"Admins" + S + L"3" + S, data);
    EXPECT_LE(data.size(), CreateGroupDataCapacity(request));

    const GroupRequest nullCell{L"", L"", L"", 0x80000000u};
    const std::wstring widest = WriteCreateGroupData(nullCell);
    EXPECT_NE(std::wstring::npos, widest.find(L"-2147483648"));  // written signed
    EXPECT_LE(widest.size(), CreateGroupDataCapacity(nullCell));
}

TEST(CreateGroupData, WhatTheWriterWritesReadsBackIncludingEmptyFieldsAndNegativeAttributes) {
    for (const GroupRequest& request : {GroupRequest{L"Ops", L"Operators of Harbor", L"", 15},
                                        GroupRequest{L"Ops", L"", L"Administrators", 0x80000000u}}) {
        GroupRequest read;
        ASSERT_EQ(GroupDataStatus::Ok, ParseCreateGroupData(WriteCreateGroupData(request), read));
        EXPECT_EQ(request, read);
    }
}

TEST(CreateGroupData, WrongOrMissingFunctionNameAndShortDataAreToldApart) {
    GroupRequest read;
    EXPECT_EQ(GroupDataStatus::WrongFunction, ParseCreateGroupData(L"", read));
    EXPECT_EQ(GroupDataStatus::WrongFunction,
              ParseCreateGroupData(std::wstring(L"RemoveGroup") + S + L"Ops" + S + S + S + L"1" + S, read));
    EXPECT_EQ(GroupDataStatus::WrongFunction, ParseCreateGroupData(std::wstring(L"CreateGroupX") + S, read));
    EXPECT_EQ(GroupDataStatus::MissingField,
              ParseCreateGroupData(std::wstring(L"CreateGroup") + S + L"Ops" + S + S + L"Parent", read));

    // The reader names the first field the data lacks.
    std::vector<std::wstring> asked;
    const wchar_t* tokens[] = {L"Ops", L"desc"};
    std::size_t given = 0;
    const TokenSource next = [&](const wchar_t* name) -> const wchar_t* {
        asked.emplace_back(name);
        return given < 2 ? tokens[given++] : nullptr;
    };
    EXPECT_STREQ(L"cszParentGroup", ReadGroupFields(next, read));
    EXPECT_EQ((std::vector<std::wstring>{L"cszName", L"cszDescription", L"cszParentGroup"}), asked);
}
