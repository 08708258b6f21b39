// The settings snapshot and SSL actions in real sessions against the IIS
// doubles, with the snapshot in the prefix's registry and a stand-in
// selfssl.exe that writes the certificate hash into the doubles' metabase
// file, as the real tool writes it into IIS.
#include "iis/iis_fixture.h"
#include "iis/iis_settings.h"
#include "setuplib/planted_paths.h"

#include "exports/exports.h"

using namespace ondex::test;
using ondex::iis::kSnapshotKey;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct IisSettings : IisTest {
    OndexRegistryScope registry;

    static bool SnapshotExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSnapshotKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    static DWORD Saved(const wchar_t* name) {
        DWORD value = 0, size = sizeof value;
        RegGetValueW(HKEY_LOCAL_MACHINE, kSnapshotKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }
};

}  // namespace

TEST_F(IisSettings, ProtectSavesEachSitesAuthFlagsFiveWithoutAndSchedulesTheRestore) {
    model.AddSite(L"1", L":80:", L"");
    model.PutDword(L"/LM/W3SVC/1", 6000, 20);
    model.AddSite(L"3", L":81:", L"");
    EXPECT_EQ(0u, ProtectIISSettings(package.Session()));
    EXPECT_EQ(20u, Saved(L"/LM/W3SVC/1"));
    EXPECT_EQ(5u, Saved(L"/LM/W3SVC/3"));
    EXPECT_EQ((std::vector<int>{3, 10000, 0}), log.Progress().back());  // the cost of the restore
}

TEST_F(IisSettings, RestorePutsTheFlagsBackPassesOverOddValuesAndDeletesTheSnapshot) {
    for (const wchar_t* site : {L"1", L"2"}) model.AddSite(site, L":80:", L"");
    OndexRegistryScope::SetDword(kSnapshotKey, L"/LM/W3SVC/1", 20);
    OndexRegistryScope::SetString(kSnapshotKey, L"/LM/W3SVC/9", L"odd");
    OndexRegistryScope::SetDword(kSnapshotKey, L"/LM/W3SVC/2", 5);
    EXPECT_EQ(0u, RestoreIISSettings(package.Session()));
    for (const auto& [site, flags] : {std::pair{L"/LM/W3SVC/1", 20}, {L"/LM/W3SVC/2", 5}}) {
        const MetaValue* restored = model.Find(site, 6000);
        ASSERT_TRUE(restored) << site;
        EXPECT_EQ((Bytes{static_cast<std::uint8_t>(flags), 0, 0, 0}), restored->bytes) << site;
        EXPECT_EQ(2u, restored->userType) << site;
        EXPECT_EQ(1u, restored->attributes) << site;  // inherited
    }
    EXPECT_EQ(Lines{L"Saved IIS setting /LM/W3SVC/9 is no site's AuthFlags; left alone."}, log.TimestampedLines());
    EXPECT_FALSE(SnapshotExists());

    log.Clear();
    EXPECT_EQ(0u, RestoreIISSettings(package.Session()));  // nothing saved: nothing changes
    EXPECT_TRUE(Logged(L"Error 0x80070002: Unable to create key."));
    EXPECT_EQ(2, model.Calls("SetData"));
}

namespace {

// InstallSSL against site 4 on port 8080, the doubles' metabase kept in a
// file that the stand-in selfssl.exe (tests\selfssl) reads and writes.
struct InstallSsl : IisSettings {
    TempFolder temp;
    const std::wstring tools = TestFolder() + L"selfssl";
    const std::wstring record = tools + L"\\commandline.txt";

    void SetUp() override {
        SetEnvironmentVariableW(L"OXIIS_METABASE_FILE", temp.File(L"metabase.txt").c_str());
        SetEnvironmentVariableW(L"OXIIS_SELFSSL_FAIL", nullptr);
        model.BackWithFile(temp.File(L"metabase.txt"));
        model.AddSite(L"4", L":8080:", L"Reports");
        DeleteFileW(record.c_str());
        package.Property(L"TracerInstallSSL_TRACERFLAGS", L"1026");  // error events to the installer log
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"OXIIS_METABASE_FILE", nullptr);
        SetEnvironmentVariableW(L"OXIIS_SELFSSL_FAIL", nullptr);
        IisSettings::TearDown();
    }
    UINT Run(const std::wstring& data) {
        package.Set(L"CustomActionData", data);
        return InstallSSL(package.Session());
    }
    Bytes Hash() const {
        const MetaValue* hash = model.Find(L"/LM/W3SVC/4", 5506);
        return hash ? hash->bytes : Bytes{};
    }
};

}  // namespace

TEST_F(InstallSsl, FourFieldsRunSelfSslForTheSiteOnThePortAndCheckItsCertificate) {
    EXPECT_EQ(0u, Run(tools + L"|||8080|||almanac.ondex.test|||443"));
    EXPECT_EQ("\"" + std::string(tools.begin(), tools.end()) +
                  "\\selfssl.exe\" /T /N:CN=almanac.ondex.test /V:3650 /S:4 /P:443 /Q",
              ReadFileBytes(record));
    EXPECT_EQ((Bytes{0xC0, 0xDE}), Hash());

    SetEnvironmentVariableW(L"OXIIS_SELFSSL_FAIL", L"1");
    model.AddSite(L"5", L":8081:", L"");  // a site without a certificate
    EXPECT_EQ(87u, Run(tools + L"|||8081|||almanac.ondex.test|||443"));
    EXPECT_TRUE(Logged(L"Setup was unable to install web server certificate:\nselfssl: the certificate could not be created"));
}

TEST_F(InstallSsl, FiveFieldsBindTheHashWithoutSelfSsl) {
    EXPECT_EQ(0u, Run(L"C:\\Unused|||8080|||almanac|||443|||0a1BfF"));
    EXPECT_EQ((Bytes{0x0A, 0x1B, 0xFF}), Hash());  // the other records: metabase_test
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(record.c_str()));
}

TEST_F(InstallSsl, ShortDataAnUnknownPortOrAPlantedToolChangeNothing) {
    const struct { std::wstring data; UINT result; } cases[] = {
        {tools + L"|||8080|||almanac", 0},          // three fields
        {tools + L"|||9999|||almanac|||443", 0},    // no site on the port
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, Run(c.data)) << c.data;
    EXPECT_TRUE(Logged(L"No enoth params"));
    // The tool's folder given, and what is planted in the test's one.
    const struct { std::wstring folder, toolOwner, folderWriter, logged; } planted[] = {
        {L"C:\\NoSuchTools", L"", L"", L"'C:\\NoSuchTools': it does not exist."},
        {tools, L"S-1-5-21-1-2-3-1001", L"", L"its owner S-1-5-21-1-2-3-1001"},
        {tools, L"", L"S-1-5-11", L"its DACL lets S-1-5-11 change it."},  // Authenticated Users
    };
    for (const auto& p : planted) {
        PlantedPaths paths;
        if (!p.toolOwner.empty()) paths.OwnedBy(tools + L"\\selfssl.exe", p.toolOwner);
        if (!p.folderWriter.empty()) paths.WritableBy(tools, p.folderWriter);
        EXPECT_EQ(87u, Run(p.folder + L"|||8080|||almanac|||443")) << p.logged;
        EXPECT_TRUE(Logged(p.logged)) << p.logged;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(record.c_str()));
    EXPECT_EQ(Bytes{}, Hash());
}
