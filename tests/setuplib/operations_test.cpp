// Trace outputs, message display, Binary extraction, component situations,
// resource strings, folders and COM initialisation.
#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "runtime/text_format.h"
#include "planted_paths.h"
#include "setuplib/ox_trusted_fs.h"
#include "setuplib/oxsetuplib.h"
#include "support/installed_product.h"
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

// The code of an OxWinError that `call` throws, 0 when it throws none.
template <typename Call>
DWORD ErrorOf(Call call) {
    try {
        call();
    } catch (const OxWinError& error) {
        return error.Code();
    }
    return 0;
}

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
    PlainAction(package.Session(), L"OxaTraceFile").Trace(L"first %s %d", L"line", 1);
    PlainAction(package.Session(), L"OxaTraceFile").Trace(L"second");
    const std::wstring expected = L"\xFEFF" L"first line 1\r\nsecond\r\n";
    EXPECT_EQ(ReadFileBytes(path), std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(log.InfoLines().empty());
    DeleteFileW(path.c_str());
}

TEST(Trace, ATraceFilePlantedInTheTemporaryFolderIsNotWritten) {
    OndexRegistryScope registry;
    OndexRegistryScope::SetDword(kDebugKey, L"TraceOptions", 2);
    const std::wstring path = TempPath() + L"OxaPlanted.log";
    TestPackage package;
    for (bool link : {true, false}) {
        WriteFileBytes(path, "planted");
        PlantedPaths planted;
        link ? planted.Link(path) : planted.OwnedBy(path, L"S-1-5-21-1-2-3-1001");
        PlainAction(package.Session(), L"OxaPlanted").Trace(L"secret line");
        EXPECT_EQ("planted", ReadFileBytes(path)) << link;
    }
    DeleteFileW(path.c_str());
}

TEST(Trace, MessageBoxAndLogBitsShowTheTextAndWriteATimestampedLineButNothingWithoutTheKey) {
    OndexRegistryScope registry;
    TestPackage package;
    MessageBoxScript boxes;
    LogCapture log;
    PlainAction(package.Session()).Trace(L"quiet");
    OndexRegistryScope::SetDword(kDebugKey, L"TraceOptions", 1 | 8);
    PlainAction(package.Session()).Trace(L"hello [ProductName]");  // brackets stay as written
    EXPECT_THAT(boxes.Shown(true),
                testing::ElementsAre(L"OxaPlain|hello [ProductName]|" + std::to_wstring(MB_ICONEXCLAMATION)));
    ASSERT_EQ(log.InfoLines().size(), 1u);
    EXPECT_THAT(ondex::runtime::ToAnsi(log.InfoLines()[0]),
                testing::MatchesRegex("\\*\\*\\*Ondex\\*\\*\\* \\[\\d\\d\\.\\d\\d\\.\\d\\d\\d\\d - \\d\\d:\\d\\d:\\d\\d:\\d+\\] hello \\[ProductName\\]"));
}

// Top-level windows the dialog search may find, and the owner of the box shown.
struct FakeWindow {
    const wchar_t* windowClass;
    const wchar_t* title;
};
std::vector<FakeWindow> g_windows;
std::vector<std::wstring> g_titlesAsked;
HWND g_owner = nullptr;

HWND Handle(size_t index) { return reinterpret_cast<HWND>(index + 0x100); }
HWND WINAPI FindByTitle(LPCWSTR windowClass, LPCWSTR title) {
    g_titlesAsked.push_back(title ? title : L"(any)");
    for (size_t i = 0; i < g_windows.size(); ++i)
        if (!wcscmp(g_windows[i].windowClass, windowClass) && (!title || !wcscmp(g_windows[i].title, title)))
            return Handle(i);
    return nullptr;
}
HWND WINAPI FindAny(HWND parent, HWND after, LPCWSTR windowClass, LPCWSTR title) {
    return parent || after ? nullptr : FindByTitle(windowClass, title);
}
int WINAPI RecordOwner(HWND owner, LPCWSTR, LPCWSTR, UINT) {
    g_owner = owner;
    return IDOK;
}

class ShowMessageTest : public testing::Test {
protected:
    void SetUp() override {
        session_ = package_.Session();
        previousLevel_ = MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, nullptr);
        MsiSetPropertyW(session_, L"UILevel", L"5");
    }
    void TearDown() override { MsiSetInternalUI(previousLevel_, nullptr); }

    TestPackage package_;
    MSIHANDLE session_ = 0;
    INSTALLUILEVEL previousLevel_{};
    MessageBoxScript boxes_;
    LogCapture log_;
};

TEST_F(ShowMessageTest, AnEmptyTextShowsNothingAndAHandledMessageNeedsNoBox) {
    EXPECT_EQ(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L""), 0);
    EXPECT_TRUE(log_.OfType(INSTALLMESSAGE_USER).empty());
    log_.AnswerWith(INSTALLMESSAGE_USER, IDOK);
    EXPECT_EQ(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L"handled [%s]"), IDOK);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(L"handled [%s]", log_.OfType(INSTALLMESSAGE_USER).back().text);
}

TEST_F(ShowMessageTest, UnhandledTextFallsBackToABoxCaptionedWithTheProductUnlessTheInstallationIsSilent) {
    boxes_.Answer(IDNO);
    EXPECT_EQ(PlainAction(session_).ShowMessage(static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_YESNO), L"Go on?"),
              IDNO);
    MsiSetPropertyW(session_, L"ProductName", L"");
    PlainAction(session_).ShowMessage(INSTALLMESSAGE_ERROR, L"Unnamed");
    MsiSetPropertyW(session_, L"UILevel", L"2");
    // Nobody can answer at UI level 2: the message counts as answered with its default button.
    EXPECT_EQ(PlainAction(session_).ShowMessage(static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_YESNO | MB_DEFBUTTON2), L"silent"), IDNO);
    EXPECT_THAT(boxes_.Shown(true), testing::ElementsAre(L"Ondex Test Package|Go on?|" + std::to_wstring(MB_YESNO),
                                                         L"Installer|Unnamed|0"));
}

TEST_F(ShowMessageTest, TheBoxBelongsToTheInstallerDialogFoundByTitleElseByClassAlone) {
    const std::wstring wizard = L"Ondex Test Package - InstallShield Wizard";
    struct Case {
        std::vector<FakeWindow> windows;
        int owner;  // index into windows, -1 for none
    };
    const Case cases[] = {
        {{{L"MsiDialogNoCloseClass", wizard.c_str()}, {L"MsiDialogCloseClass", wizard.c_str()}}, 1},
        {{{L"MsiDialogCloseClass", L"Other"}, {L"MsiDialogNoCloseClass", wizard.c_str()}}, 1},
        {{{L"MsiDialogNoCloseClass", L"Other"}, {L"MsiDialogCloseClass", L"Another"}}, 1},
        {{{L"MsiDialogNoCloseClass", L"Other"}}, 0},
        {{{L"#32770", wizard.c_str()}}, -1},
    };
    ScopedApiOverride api;
    api.api().FindWindowW = FindByTitle;
    api.api().FindWindowExW = FindAny;
    api.api().MessageBoxW = RecordOwner;
    for (const Case& c : cases) {
        g_windows = c.windows;
        g_titlesAsked.clear();
        EXPECT_EQ(PlainAction(session_).ShowMessage(INSTALLMESSAGE_USER, L"text"), IDOK);
        EXPECT_EQ(g_owner, c.owner < 0 ? nullptr : Handle(c.owner)) << c.windows.size();
        EXPECT_EQ(g_titlesAsked.at(0), wizard);
    }
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
    EXPECT_EQ(ErrorOf([&] { action.extractBinary(L"Absent", target); }), 2u);
}

constexpr wchar_t kCoreCode[] = L"{3C1A7E55-0B7D-4D3A-9B59-6A2F0E1D4C11}";
constexpr wchar_t kInstalledProduct[] = L"{6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";

constexpr wchar_t kCoreUpgradeCode[] = L"{0E8A1C47-2B6D-4F93-A5C8-7D1E3B9F2A60}";

// The component "Core" in the package's feature "Main".
void AddCoreComponent(TestPackage& package) {
    package.Table(L"Directory")
        .Row(L"Directory", {{L"Directory", L"'TARGETDIR'"}, {L"DefaultDir", L"'SourceDir'"}})
        .Table(L"Component")
        .Row(L"Component", {{L"Component", L"'Core'"}, {L"ComponentId", Quoted(kCoreCode)},
                            {L"Directory_", L"'TARGETDIR'"}, {L"Attributes", L"256"}})
        .Table(L"FeatureComponents")
        .Row(L"FeatureComponents", {{L"Feature_", L"'Main'"}, {L"Component_", L"'Core'"}});
}

// A package of `productCode` whose feature "Main" holds the component "Core".
void AddCore(TestPackage& package, const wchar_t* productCode) {
    package.Sql(L"UPDATE `Property` SET `Value` = '" + std::wstring(productCode) + L"' WHERE `Property` = 'ProductCode'")
        .Property(L"UpgradeCode", kCoreUpgradeCode)
        .Property(L"ALLUSERS", L"1")
        .Table(L"Feature")
        .Row(L"Feature", {{L"Feature", L"'Main'"}, {L"Level", L"1"}, {L"Attributes", L"0"}});
    AddCoreComponent(package);
}

// Another product that really installed "Core", for the whole suite.
class ComponentModeTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        installed_ = new InstalledProduct(kInstalledProduct, kCoreUpgradeCode, InstalledProduct::State::Installed,
                                          L"1.0.0", AddCoreComponent);
    }
    static void TearDownTestSuite() { delete installed_; }
    // A costed session of `productCode` with "Main" requested in `state` (unknown: no request).
    int ModeOf(const wchar_t* productCode, INSTALLSTATE feature, INSTALLSTATE component = INSTALLSTATE_UNKNOWN) {
        TestPackage package;
        AddCore(package, productCode);
        const MSIHANDLE session = package.Session();
        for (const wchar_t* step : {L"CostInitialize", L"FileCost", L"CostFinalize"})
            EXPECT_EQ(MsiDoActionW(session, step), 0u);
        if (feature != INSTALLSTATE_UNKNOWN) EXPECT_EQ(MsiSetFeatureStateW(session, L"Main", feature), 0u);
        if (component != INSTALLSTATE_UNKNOWN) EXPECT_EQ(MsiSetComponentStateW(session, L"Core", component), 0u);
        return PlainAction(session).getComponentMode(L"Core", kCoreCode);
    }

    static InstalledProduct* installed_;
    const wchar_t* fresh_ = L"{7D5A3B52-3C4E-4F43-9D2E-6F0A1B2C3D4E}";
};
InstalledProduct* ComponentModeTest::installed_ = nullptr;

bool g_maintenance = true;
BOOL WINAPI ScriptedMaintenance(MSIHANDLE, MSIRUNMODE mode) { return mode == MSIRUNMODE_MAINTENANCE && g_maintenance; }
std::vector<std::wstring> g_pathsAsked;
INSTALLSTATE WINAPI SourceAbsent(LPCWSTR product, LPCWSTR, LPWSTR, LPDWORD) {
    g_pathsAsked.push_back(product);
    return INSTALLSTATE_SOURCEABSENT;
}

TEST_F(ComponentModeTest, InstalledComponentIsPresentRemovingOrByDefaultPresentOnlyInMaintenance) {
    EXPECT_EQ(ModeOf(kInstalledProduct, INSTALLSTATE_UNKNOWN), 2);
    EXPECT_EQ(ModeOf(kInstalledProduct, INSTALLSTATE_UNKNOWN, INSTALLSTATE_ABSENT), 1);
    EXPECT_EQ(ModeOf(kInstalledProduct, INSTALLSTATE_UNKNOWN, INSTALLSTATE_DEFAULT), 2);
    ScopedApiOverride api;
    api.api().MsiGetMode = ScriptedMaintenance;
    g_maintenance = false;
    EXPECT_EQ(ModeOf(kInstalledProduct, INSTALLSTATE_UNKNOWN, INSTALLSTATE_DEFAULT), 3);
}

TEST_F(ComponentModeTest, NewComponentIsInstallingAbsentOrUnknownAndBesideAnotherProductsMissingCopy4) {
    EXPECT_EQ(ModeOf(fresh_, INSTALLSTATE_LOCAL), 3);
    EXPECT_EQ(ModeOf(fresh_, INSTALLSTATE_ABSENT), 0);
    EXPECT_EQ(ModeOf(fresh_, INSTALLSTATE_UNKNOWN, INSTALLSTATE_DEFAULT), -1);
    ScopedApiOverride api;
    api.api().MsiGetComponentPathW = SourceAbsent;
    EXPECT_EQ(ModeOf(fresh_, INSTALLSTATE_LOCAL), 4);
    EXPECT_THAT(g_pathsAsked, testing::ElementsAre(kInstalledProduct));
    EXPECT_EQ(ModeOf(fresh_, INSTALLSTATE_ABSENT), 0);
    TestPackage package;
    EXPECT_EQ(ErrorOf([&] { PlainAction(package.Session()).getComponentMode(L"", kCoreCode); }), 160u);
}

TEST(LoadString, TextsComeInTheProductLanguageAndFallBackToEnglish) {
    TestPackage package;
    const MSIHANDLE session = package.Session();
    PlainAction action(session);
    EXPECT_EQ(action.LoadString(130), L"\nError code: 0x%08X.");
    EXPECT_EQ(action.LoadString(140),
              L"Ondex Mailvault beta is already installed. Please uninstall it manually, and run the setup again.");
    MsiSetPropertyW(session, L"PRODUCTLANGUAGE", L"1031");
    EXPECT_EQ(action.LoadString(101), L"SQL-Assembly wird ausgefuehrt...");
    EXPECT_EQ(action.LoadString(102), L"Failed to execute .NET assembly.\nError code: 0x%08X.");
    EXPECT_EQ(action.LoadString(999), L"");
}

TEST(Folders, TreesAreCreatedAndDeletedAndAFileInThePathThrows80) {
    TempFolder folder;
    const OxMsiString deep = folder.File(L"a\\b\\c");
    CreateDirectoryTree(deep);
    WriteFileBytes(deep + L"\\file.txt", "x");
    EXPECT_EQ(DirectoryOf(deep + L"\\file.txt"), deep);
    WriteFileBytes(folder.File(L"plain"), "x");
    EXPECT_EQ(ErrorOf([&] { CreateDirectoryTree(folder.File(L"plain\\sub")); }), 80u);
    DeleteDirectoryTree(folder.File(L"a"), true);
    EXPECT_FALSE(PathExists(folder.File(L"a")));
    EXPECT_EQ(GetTempFolder().substr(GetTempFolder().size() - 18), L"\\Ondex\\Setup\\Temp\\");
}

TEST(Folders, AFileThatCannotBeDeletedFailsOnlyAStrictDeletionAndAMissingTreeAlwaysThrows) {
    TempFolder folder;
    CreateDirectoryTree(folder.File(L"tree\\sub"));
    WriteFileBytes(folder.File(L"tree\\sub\\busy.txt"), "x");
    WriteFileBytes(folder.File(L"tree\\free.txt"), "x");
    {
        const HANDLE busy = CreateFileW(folder.File(L"tree\\sub\\busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(busy, INVALID_HANDLE_VALUE);
        EXPECT_EQ(ErrorOf([&] { DeleteDirectoryTree(folder.File(L"tree"), false); }), 0u);
        EXPECT_FALSE(PathExists(folder.File(L"tree\\free.txt")));
        EXPECT_TRUE(PathExists(folder.File(L"tree\\sub\\busy.txt")));
        EXPECT_EQ(ErrorOf([&] { DeleteDirectoryTree(folder.File(L"tree"), true); }),
                  static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        CloseHandle(busy);
    }
    EXPECT_EQ(ErrorOf([&] { DeleteDirectoryTree(folder.File(L"missing"), false); }), 6u);
}

TEST(Folders, ALinkInTheTreeIsRemovedItselfAndNeverEntered) {
    TempFolder folder;
    CreateDirectoryTree(folder.File(L"tree\\linked"));
    WriteFileBytes(folder.File(L"tree\\linked\\target.txt"), "x");
    PlantedPaths planted;
    planted.Link(folder.File(L"tree\\linked"));
    // Not really a link here: removing it as one fails, so what it holds shows it was never entered.
    EXPECT_EQ(ErrorOf([&] { DeleteDirectoryTree(folder.File(L"tree"), true); }), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    DeleteDirectoryTree(folder.File(L"tree"), false);
    EXPECT_TRUE(PathExists(folder.File(L"tree\\linked\\target.txt")));
}

// The DACL each new folder was made with, as SDDL: Wine keeps none of it.
std::vector<std::wstring> g_madeWith;
BOOL WINAPI RecordDacl(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
    LPWSTR text = nullptr;
    if (attributes && ConvertSecurityDescriptorToStringSecurityDescriptorW(
                          attributes->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        g_madeWith.push_back(text);
        LocalFree(text);
    }
    return ondex::platform::RealApi().CreateDirectoryW(path, attributes);
}

std::wstring ProcessUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size);
    CloseHandle(token);
    LPWSTR text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    const std::wstring sid = text;
    LocalFree(text);
    return sid;
}

TEST(TrustedFolders, ANewLevelGrantsFullControlToSystemAdministratorsAndThisAccountOnlyAndInheritsNothing) {
    TempFolder folder;
    const std::wstring path = folder.File(L"trusted");
    ScopedApiOverride api;
    api.api().CreateDirectoryW = RecordDacl;
    CreateTrustedDirectory(path);
    EXPECT_TRUE(PathExists(path));
    EXPECT_EQ(ErrorOf([&] { CreateTrustedDirectory(path); }), 0u);  // this account's own folder is trusted
    EXPECT_THAT(g_madeWith, testing::Each(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + ProcessUserSid() + L")"));
    EXPECT_EQ(g_madeWith.size(), 2u);
    WriteFileBytes(folder.File(L"plain"), "x");
    EXPECT_EQ(ErrorOf([&] { CreateTrustedDirectory(folder.File(L"plain")); }), 80u);
}

// On a thread of its own: what a second initialisation answers inside and after the scope.
std::pair<HRESULT, HRESULT> OleScope(DWORD existing) {
    std::pair<HRESULT, HRESULT> probes;
    std::thread([&] {
        const bool outer = existing != ~0u && SUCCEEDED(CoInitializeEx(nullptr, existing));
        try {
            const OxOleInit ole;
            probes.first = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(probes.first)) CoUninitialize();
        } catch (const OxWinError&) {
            probes.first = E_UNEXPECTED;
        }
        probes.second = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(probes.second)) CoUninitialize();
        if (outer) CoUninitialize();
    }).join();
    return probes;
}

TEST(OleInit, InitialisesAnApartmentForItsScopeAndLeavesAnExistingOneAsItWas) {
    EXPECT_EQ(OleScope(~0u), std::make_pair(RPC_E_CHANGED_MODE, S_OK));
    EXPECT_EQ(OleScope(COINIT_APARTMENTTHREADED), std::make_pair(RPC_E_CHANGED_MODE, RPC_E_CHANGED_MODE));
    EXPECT_EQ(OleScope(COINIT_MULTITHREADED), std::make_pair(S_FALSE, S_FALSE));
}

TEST(WinError, DisplayTextIsTheOwnTextElseTheSystemMessage) {
    EXPECT_EQ(OxWinError(5, L"own").DisplayText(), L"own");
    EXPECT_EQ(OxWinError(1603).DisplayText(), SystemErrorText(1603));
}

}  // namespace
