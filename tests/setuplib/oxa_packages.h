#pragma once
// The packages of the extension actions' main paths, shared by their tests
// and the fault table: the service components of the phased actions, the
// costed session, the engine's run mode and the database checker's binaries.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "setuplib/oxsetuplib.h"
#include "support/package.h"

namespace ondex::test {

// A product code of its own per package: the state lives in a folder named after it,
// and test programs run side by side.
inline std::wstring NewProductCode() { return NewGuidText(); }

inline void WithProductCode(TestPackage& package, const std::wstring& code) {
    package.Sql(L"UPDATE `Property` SET `Value` = '" + code + L"' WHERE `Property` = 'ProductCode'");
}

// The installed assembly `name` in INSTALLDIR below `root`: the double only needs the file to exist.
inline void PlaceInstalledFile(const TempFolder& root, const wchar_t* name) {
    OxSetupLib::CreateDirectoryTree(root.File(L"Harbor"));
    WriteFileBytes(root.File(L"Harbor\\") + name, "MZ");
}

// The run mode MsiGetMode answers through the seam (ScriptedMode).
inline MSIRUNMODE g_mode = MSIRUNMODE_ADMIN;
inline BOOL WINAPI ScriptedMode(MSIHANDLE, MSIRUNMODE mode) { return mode == g_mode; }

struct FileRow {
    const wchar_t* key;
    const wchar_t* name;
};

// A package whose feature "Main" holds the service component with its files in INSTALLDIR.
inline void AddServiceComponent(TestPackage& package, const wchar_t* component, const wchar_t* code,
                                std::initializer_list<FileRow> files) {
    package.Table(L"Directory")
        .Row(L"Directory", {{L"Directory", L"'TARGETDIR'"}, {L"DefaultDir", L"'SourceDir'"}})
        .Row(L"Directory", {{L"Directory", L"'INSTALLDIR'"}, {L"Directory_Parent", L"'TARGETDIR'"},
                            {L"DefaultDir", L"'Harbor'"}})
        .Table(L"Component")
        .Row(L"Component", {{L"Component", Quoted(component)}, {L"ComponentId", Quoted(code)},
                            {L"Directory_", L"'INSTALLDIR'"}, {L"Attributes", L"256"}})
        .Table(L"Feature")
        .Row(L"Feature", {{L"Feature", L"'Main'"}, {L"Level", L"1"}, {L"Attributes", L"0"}})
        .Table(L"FeatureComponents")
        .Row(L"FeatureComponents", {{L"Feature_", L"'Main'"}, {L"Component_", Quoted(component)}})
        .Sql(L"CREATE TABLE `File` (`File` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, `FileName` "
             L"CHAR(255) NOT NULL, `FileSize` LONG NOT NULL, `Version` CHAR(72), `Language` CHAR(20), "
             L"`Attributes` SHORT, `Sequence` SHORT NOT NULL PRIMARY KEY `File`)")
        .Sql(L"CREATE TABLE `Upgrade` (`UpgradeCode` CHAR(38) NOT NULL, `VersionMin` CHAR(20), `VersionMax` "
             L"CHAR(20), `Language` CHAR(255), `Attributes` LONG NOT NULL, `Remove` CHAR(255), `ActionProperty` "
             L"CHAR(72) NOT NULL PRIMARY KEY `UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes`)");
    int sequence = 0;
    for (const FileRow& file : files)
        package.Row(L"File", {{L"File", Quoted(file.key)}, {L"Component_", Quoted(component)},
                              {L"FileName", Quoted(file.name)}, {L"FileSize", L"1"}, {L"Sequence", Number(++sequence)}});
}

// The database creator's service component and the database it names.
inline void WithDatabaseCreator(TestPackage& package) {
    AddServiceComponent(package, L"OndexHarborService_x64", L"{515C8333-3A04-4486-BA63-376F81227B4F}",
                        {{L"ondex.harbor.dbcreator.dll1", L"Ondex.Harbor.DBCreator.dll"}});
    package.Property(L"SQL_SERVER_NAME", L"DBHOST")
        .Property(L"SQL_SERVER_INSTANCE", L"HARBORSQL")
        .Property(L"IS_SQLSERVER_DATABASE", L"1")
        .Property(L"OX_BCK_DB_FILE", L"harbor.mdf");
}

// The WMI server's component: its core assembly and the service executable.
inline void WithWmiServer(TestPackage& package) {
    AddServiceComponent(package, L"Ondex.Harbor.WmiServer.Core.dll_x64", L"{2382D326-DB5B-4140-B3C4-6DCE5759A20A}",
                        {{L"ondex.harbor.wmiserver.core.", L"Ondex.Harbor.WmiServer.Core.dll"},
                         {L"Ondex.Harbor.WmiServer.exe1", L"Ondex.Harbor.WmiServer.exe"}});
}

// The 64-bit session of `package`, costed with INSTALLDIR below `root` and the feature in `state`.
inline MSIHANDLE OpenCosted(TestPackage& package, const std::wstring& root, INSTALLSTATE state = INSTALLSTATE_LOCAL) {
    const MSIHANDLE session = package.Session();
    MsiSetPropertyW(session, L"VersionNT64", L"601");
    MsiSetPropertyW(session, L"UILevel", L"5");
    EXPECT_EQ(MsiDoActionW(session, L"CostInitialize"), 0u);
    EXPECT_EQ(MsiDoActionW(session, L"FileCost"), 0u);
    MsiSetPropertyW(session, L"TARGETDIR", root.c_str());
    EXPECT_EQ(MsiDoActionW(session, L"CostFinalize"), 0u);
    EXPECT_EQ(MsiSetFeatureStateW(session, L"Main", state), 0u);
    return session;
}

// The database checker's assembly as a binary (written into `sources`), the
// database it checks and, with `schema`, the backup schema's binary.
inline void WithDatabaseChecker(TestPackage& package, const TempFolder& sources, bool schema = true) {
    WriteFileBytes(sources.File(L"creator"), "MZ creator");
    WriteFileBytes(sources.File(L"schema"), "<database/>");
    package.Binary(L"Ondex.Harbor.DBCreator.dll_x64", sources.File(L"creator"));
    if (schema) package.Binary(L"BackupDatabase.xml", sources.File(L"schema"));
    package.Property(L"SQL_SERVER_NAME", L"DBHOST")
        .Property(L"SQL_SERVER_INSTANCE", L"HARBORSQL")
        .Property(L"IS_SQLSERVER_DATABASE", L"1");
}

constexpr wchar_t kValidator[] = L"Ondex.Harbor.DBCreator.CBackupValidator.Validate";
constexpr wchar_t kLockValidator[] = L"Ondex.Harbor.DBCreator.CBackupLockValidator.Validate";

}  // namespace ondex::test
