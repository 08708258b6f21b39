// The database check on real sessions against the runtime-host double.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "clr_double_control.h"
#include "oxa_packages.h"
#include "planted_paths.h"
#include "runtime/text_format.h"
#include "setuplib/oxsetuplib.h"
#include "support/package.h"

extern "C" UINT __stdcall OxaCheckSelectedDatabase(MSIHANDLE);

using namespace OxSetupLib;
using namespace ondex::test;
using testing::ElementsAre;
using testing::Pair;

namespace {


class CheckSelectedDatabaseTest : public testing::Test {
protected:
    void SetUp() override { WithDatabaseChecker(package_, sources_, false); }
    std::wstring Support() const { return GetTempFolder() + L"ShellDbChecker\\"; }
    std::string Validate(const char* type) const {
        return std::string("Ondex.Harbor.DBCreator.") + type + ".Validate(int:2, bstr:DBHOST, bstr:HARBORSQL, bstr:1, bstr:" +
               ondex::runtime::ToAnsi(Support()) + ", bool:false, bool:false)";
    }

    TempFolder sources_;
    TestPackage package_;
    ClrDoubleScope clr_;
    LogCapture log_;
};

TEST_F(CheckSelectedDatabaseTest, ABackupDatabaseNotInUseIsAcceptedAndTheSupportFilesAreRemoved) {
    package_.Binary(L"BackupDatabase.xml", sources_.File(L"schema"));
    clr_.Return(kValidator, true);
    clr_.Return(kLockValidator, true);
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 0u);
    EXPECT_EQ(package_.Get(L"CHKRQ_PRODSQLSRV_STATUSCODE"), L"OK");
    EXPECT_EQ(package_.Get(L"IS_SQLSERVER_STATUS"), L"0");
    const auto init = testing::StartsWith("Ondex.Harbor.DBCreator.CLogger.MsiInit(int:");
    EXPECT_THAT(clr_.Invokes(),
                ElementsAre(init, Validate("CBackupValidator"), init, Validate("CBackupLockValidator")));
    EXPECT_THAT(clr_.Calls(), testing::Contains("CreateInstanceFrom " + ondex::runtime::ToAnsi(Support()) +
                                                "Ondex.Harbor.DBCreator.dll Ondex.Harbor.DBCreator.CLogger"));
    EXPECT_FALSE(PathExists(Support()));
    EXPECT_TRUE(ShownMessages(log_).empty());
}

TEST_F(CheckSelectedDatabaseTest, AForeignOrOldDatabaseIsRefusedAndAFailedCallCountsAsRefusal) {
    package_.Binary(L"BackupDatabase.xml", sources_.File(L"schema"));
    clr_.Return(kValidator, false);
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 1603u);
    EXPECT_EQ(package_.Get(L"CHKRQ_PRODSQLSRV_STATUSCODE"), L"E_UNKNOWN");
    EXPECT_EQ(clr_.Invokes().size(), 2u);

    ClrDoubleScope throwing;
    throwing.Throw(kValidator, 0x80131904, L"Cannot open database.");
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 1603u);
    const std::wstring refused =
        L"Selected database cannot be used because it belongs to Ondex Harbor version earlier than 5.0.1.";
    EXPECT_THAT(ShownMessages(log_), ElementsAre(Pair(refused, MB_ICONERROR),
                                                 Pair(L"Cannot open database.", MB_ICONERROR), Pair(refused, MB_ICONERROR)));
}

TEST_F(CheckSelectedDatabaseTest, ADatabaseInUseAsksAndOnlyYesContinues) {
    package_.Binary(L"BackupDatabase.xml", sources_.File(L"schema"));
    clr_.Return(kValidator, true);
    clr_.Return(kLockValidator, false);
    log_.AnswerWith(INSTALLMESSAGE_FATALEXIT, IDNO);
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 1603u);
    EXPECT_EQ(package_.Get(L"CHKRQ_PRODSQLSRV_STATUSCODE"), L"S_DBLOCKED");
    EXPECT_THAT(ShownMessages(log_),
                ElementsAre(Pair(testing::StartsWith(L"The configuration database you have selected is already in use"),
                                 static_cast<UINT>(MB_ICONERROR | MB_YESNO))));

    LogCapture yes;
    yes.AnswerWith(INSTALLMESSAGE_FATALEXIT, IDYES);
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 0u);
    EXPECT_EQ(package_.Get(L"CHKRQ_PRODSQLSRV_STATUSCODE"), L"OK");
}

TEST_F(CheckSelectedDatabaseTest, AMissingSupportFileIsReportedWithItsCode) {
    EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 1603u);
    EXPECT_THAT(ShownMessages(log_),
                ElementsAre(Pair(L"Failed to extract support file.\nError code: 0x00000002.", MB_ICONERROR)));
    EXPECT_TRUE(clr_.Invokes().empty());
    EXPECT_TRUE(package_.Get(L"CHKRQ_PRODSQLSRV_STATUSCODE").empty());
}

TEST_F(CheckSelectedDatabaseTest, ASupportFolderPlantedAsALinkIsNeitherEnteredNorUsed) {
    const std::wstring folder = Support().substr(0, Support().size() - 1);
    CreateDirectoryTree(folder);
    WriteFileBytes(Support() + L"planted.txt", "x");
    {
        PlantedPaths planted;
        planted.Link(folder);
        EXPECT_EQ(OxaCheckSelectedDatabase(package_.Session()), 1603u);
    }
    EXPECT_TRUE(PathExists(Support() + L"planted.txt"));
    EXPECT_THAT(ShownMessages(log_),
                ElementsAre(Pair(L"Failed to create temporary folder.\nError code: 0x00000005.", MB_ICONERROR)));
    EXPECT_FALSE(log_.InfoLinesWith(L"] The setup library does not use '" + folder + L"': it is a reparse point").empty());
    DeleteDirectoryTree(folder, true);
}

}  // namespace
