#pragma once
// The IIS Windows tests' fixture: the IIS doubles registered, a real session
// and its log. At the end no IIS object may be left and no method the
// doubles lack may have been called.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "iis/iis_doubles.h"
#include "support/package.h"

namespace ondex::test {

using Lines = std::vector<std::wstring>;

struct IisTest : testing::Test {
    std::unique_ptr<IisDoubles> iis = std::make_unique<IisDoubles>();
    MetabaseModel& model = iis->model;
    TestPackage package;
    LogCapture log;

    void TearDown() override {
        iis.reset();
        EXPECT_EQ(0, IisDoubles::Live()) << "IIS objects are left";
        EXPECT_EQ(0, IisDoubles::Unexpected());
    }
    void Unregister() { iis.reset(); }  // the IIS classes are then missing, as in Wine
    MSIHANDLE Session() { return package.Session(); }
    bool Logged(const std::wstring& part) const { return !log.InfoLinesWith(part).empty(); }
};

}  // namespace ondex::test
