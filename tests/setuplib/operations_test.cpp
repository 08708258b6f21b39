// Trace outputs, message display, Binary extraction, component situations,
// resource strings and the folder routines.
#include <windows.h>

#include <gtest/gtest.h>

#include "setuplib/oxsetuplib.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace OxSetupLib;
using namespace ondex::test;

namespace {

class PlainAction : public OxCustomAction {
public:
    explicit PlainAction(MSIHANDLE session, const wchar_t* name = L"OxaPlain") : OxCustomAction(session) {
        SetName(name);
    }
    OxMsiString GetDescription() const override { return L""; }
    UINT Execute() override { return 0; }
};

constexpr const wchar_t* kDebugKey = L"SOFTWARE\\Ondex\\SetupDebug";

TEST(Trace, AValueNamedAfterTheActionSendsLinesOnlyToItsLogFileWithOneByteOrderMark) {
    OndexRegistryScope registry;
    OndexRegistryScope::SetDword(kDebugKey, L"TraceOptions", 0);
    OndexRegistryScope::SetDword(kDebugKey, L"OxaTraceFile", 2);
    const std::wstring path = TempPath() + L"OxaTraceFile.log";
    DeleteFileW(path.c_str());
    TestPackage package;
    MessageBoxScript boxes;
    LogCapture log;
    {
        PlainAction first(package.Session(), L"OxaTraceFile");
        first.Trace(L"first %s %d", L"line", 1);
    }
    {
        PlainAction second(package.Session(), L"OxaTraceFile");
        second.Trace(L"second");
    }
    const std::string bytes = ReadFileBytes(path);
    const std::wstring expected = L"\xFEFF" L"first line 1\r\nsecond\r\n";
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(log.InfoLines().empty());
    DeleteFileW(path.c_str());
}

TEST(Trace, MessageBoxAndLogBitsShowTheTextAndWriteATimestampedLine) {
    OndexRegistryScope registry;
    OndexRegistryScope::SetDword(kDebugKey, L"TraceOptions", 1 | 8);
    TestPackage package;
    MessageBoxScript boxes;
    LogCapture log;
    PlainAction(package.Session()).Trace(L"hello");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"hello");
    EXPECT_EQ(boxes.boxes()[0].caption, L"OxaPlain");
    EXPECT_EQ(boxes.boxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    const auto lines = log.InfoLines();
    ASSERT_EQ(lines.size(), 1u);
    // "***Ondex*** [dd.mm.yyyy - hh:mm:ss:ms] hello"
    EXPECT_EQ(lines[0].rfind(L"***Ondex*** [", 0), 0u);
    EXPECT_EQ(lines[0].substr(15, 1), L".");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 7), L"] hello");
}

TEST(Trace, WithoutTheDebugKeyNothingIsOutput) {
    OndexRegistryScope registry;
    TestPackage package;
    MessageBoxScript boxes;
    LogCapture log;
    PlainAction(package.Session()).Trace(L"quiet");
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(log.InfoLines().empty());
}

class ShowMessageTest : public testing::Test {
protected:
    void SetUp() override {
        session_ = package_.Session();
        previousLevel_ = MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, nullptr);
    }
    void TearDown() override { MsiSetInternalUI(previousLevel_, nullptr); }

    TestPackage package_;
    MSIHANDLE session_ = 0;
    INSTALLUILEVEL previousLevel_{};
    MessageBoxScript boxes_;
    LogCapture log_;
};

TEST_F(ShowMessageTest, AnEmptyTextIsNotShown) {
    EXPECT_EQ(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L""), 0);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_TRUE(log_.OfType(INSTALLMESSAGE_USER).empty());
}

TEST_F(ShowMessageTest, TextNoUserInterfaceTakesFallsBackToAMessageBoxCaptionedWithTheProduct) {
    MsiSetPropertyW(session_, L"UILevel", L"5");
    boxes_.Answer(IDNO);
    const int answer =
        PlainAction(session_).ShowMessage(static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_YESNO), L"Go on?");
    EXPECT_EQ(answer, IDNO);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, L"Go on?");
    EXPECT_EQ(boxes_.boxes()[0].caption, L"Ondex Test Package");
    EXPECT_EQ(boxes_.boxes()[0].style, static_cast<UINT>(MB_YESNO));
}

TEST_F(ShowMessageTest, ASilentInstallationShowsNoBoxAndAHandledMessageNeedsNone) {
    MsiSetPropertyW(session_, L"UILevel", L"2");
    EXPECT_EQ(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L"silent"), 0);
    EXPECT_TRUE(boxes_.boxes().empty());

    MsiSetPropertyW(session_, L"UILevel", L"5");
    log_.AnswerWith(INSTALLMESSAGE_USER, IDOK);
    EXPECT_NE(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L"handled"), 0);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST(ExtractBinary, AStreamOfTwoChunksIsWrittenWholeAndAMissingRowThrows2) {
    TempFolder folder;
    std::string data(2048, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    WriteFileBytes(folder.File(L"source"), data);
    TestPackage package;
    package.Binary(L"Support", folder.File(L"source"));
    PlainAction action(package.Session());

    const OxMsiString target = folder.File(L"copy.bin");
    EXPECT_EQ(action.extractBinary(L"Support", target), target);
    EXPECT_EQ(ReadFileBytes(target), data);
    try {
        action.extractBinary(L"Absent", target);
        FAIL() << "a missing Binary row was extracted";
    } catch (const OxWinError& error) {
        EXPECT_EQ(error.Code(), 2u);
    }
}

TEST(ComponentMode, FreshInstallIsInstallingAndAnEmptyKeyThrows160) {
    TestPackage package;
    package.Sql(L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), "
                L"`DefaultDir` CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)")
        .Sql(L"INSERT INTO `Directory` (`Directory`, `DefaultDir`) VALUES ('TARGETDIR', 'SourceDir')")
        .Sql(L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` "
             L"CHAR(72) NOT NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY "
             L"KEY `Component`)")
        .Sql(L"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`) VALUES ('Core', "
             L"'{3C1A7E55-0B7D-4D3A-9B59-6A2F0E1D4C11}', 'TARGETDIR', 256)")
        .Sql(L"CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Feature_Parent` CHAR(38), `Title` CHAR(64), "
             L"`Description` CHAR(255), `Display` SHORT, `Level` SHORT NOT NULL, `Directory_` CHAR(72), "
             L"`Attributes` SHORT NOT NULL PRIMARY KEY `Feature`)")
        .Sql(L"INSERT INTO `Feature` (`Feature`, `Level`, `Attributes`) VALUES ('Main', 1, 0)")
        .Sql(L"CREATE TABLE `FeatureComponents` (`Feature_` CHAR(38) NOT NULL, `Component_` CHAR(72) NOT NULL "
             L"PRIMARY KEY `Feature_`, `Component_`)")
        .Sql(L"INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) VALUES ('Main', 'Core')");
    const MSIHANDLE session = package.Session();
    for (const wchar_t* step : {L"CostInitialize", L"FileCost", L"CostFinalize"}) ASSERT_EQ(MsiDoActionW(session, step), 0u);
    ASSERT_EQ(MsiSetFeatureStateW(session, L"Main", INSTALLSTATE_LOCAL), 0u);

    PlainAction action(session);
    EXPECT_EQ(action.getComponentMode(L"Core", L"{3C1A7E55-0B7D-4D3A-9B59-6A2F0E1D4C11}"), 3);
    ASSERT_EQ(MsiSetFeatureStateW(session, L"Main", INSTALLSTATE_ABSENT), 0u);
    EXPECT_EQ(action.getComponentMode(L"Core", L"{3C1A7E55-0B7D-4D3A-9B59-6A2F0E1D4C11}"), 0);
    try {
        action.getComponentMode(L"", L"{3C1A7E55-0B7D-4D3A-9B59-6A2F0E1D4C11}");
        FAIL() << "an empty component key was accepted";
    } catch (const OxWinError& error) {
        EXPECT_EQ(error.Code(), 160u);
    }
}

TEST(LoadString, TextsComeInTheProductLanguageAndFallBackToEnglish) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    PlainAction action(session);
    EXPECT_EQ(action.LoadString(101), L"Executing SQL assembly...");
    EXPECT_EQ(action.LoadString(130), L"\nError code: 0x%08X.");
    EXPECT_EQ(action.LoadString(140),
              L"Ondex Mailvault beta is already installed. Please uninstall it manually, and run the setup again.");

    MsiSetPropertyW(session, L"PRODUCTLANGUAGE", L"1031");
    EXPECT_EQ(action.LoadString(101), L"SQL-Assembly wird ausgefuehrt...");
    EXPECT_EQ(action.LoadString(102), L"Failed to execute .NET assembly.\nError code: 0x%08X.");
    MsiSetPropertyW(session, L"PRODUCTLANGUAGE", L"1036");
    EXPECT_EQ(action.LoadString(134), L"Failed to grant 'Logon as service' privilege to the specified service account.");
    EXPECT_EQ(action.LoadString(999), L"");
}

TEST(Folders, TreesAreCreatedFoundAndDeletedAndAFileInThePathThrows80) {
    TempFolder folder;
    const OxMsiString deep = folder.File(L"a\\b\\c");
    CreateDirectoryTree(deep);
    EXPECT_TRUE(PathExists(deep + L"\\"));
    WriteFileBytes(deep + L"\\file.txt", "x");
    EXPECT_EQ(DirectoryOf(deep + L"\\file.txt"), deep);

    WriteFileBytes(folder.File(L"plain"), "x");
    try {
        CreateDirectoryTree(folder.File(L"plain\\sub"));
        FAIL() << "a directory was made below a file";
    } catch (const OxWinError& error) {
        EXPECT_EQ(error.Code(), 80u);
    }
    DeleteDirectoryTree(folder.File(L"a"), true);
    EXPECT_FALSE(PathExists(folder.File(L"a")));
    EXPECT_EQ(WithBackslash(L"C:\\x"), L"C:\\x\\");
    EXPECT_EQ(WithBackslash(L"C:\\x\\"), L"C:\\x\\");
    EXPECT_EQ(WithBackslash(L""), L"");
    EXPECT_EQ(GetTempFolder().substr(GetTempFolder().size() - 18), L"\\Ondex\\Setup\\Temp\\");
}

TEST(WinError, DisplayTextIsTheOwnTextElseTheSystemMessage) {
    EXPECT_EQ(OxWinError(5, L"own").DisplayText(), L"own");
    EXPECT_EQ(OxWinError(1603).DisplayText(), SystemErrorText(1603));
}

}  // namespace
