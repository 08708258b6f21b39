// The log reader on single lines, on the committed Wine logs and on a
// Windows-shaped verbose log written as UTF-16 LE with a byte order mark.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "log_report.h"
#include "log_text.h"

using namespace ondex::logreader;
using namespace std::string_literals;

namespace {

std::string Fixture(const std::string& name) {
    std::ifstream file(std::string(ONDEX_LOG_FIXTURES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Utf16WithBom(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) bytes += {c, '\0'};
    return bytes;
}

// The report's first line of each run.
std::vector<std::string> Headers(const std::string& report) {
    std::vector<std::string> headers;
    for (const auto& line : DecodeLogLines(report))
        if (!line.starts_with(" ")) headers.push_back(line);
    return headers;
}

}  // namespace

TEST(LogLine, KindsNamesAndValues) {
    struct Case {
        const char* line;
        LineKind kind;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"Action start 4:11:02: ShellProgress.", LineKind::ActionStart, "ShellProgress", ""},
        {"Action ended 12:34:57: CheckUser. Return value 3.", LineKind::ActionEnded, "CheckUser", ""},
        {"Action ended 12:34:57: CheckUser. Return value x.", LineKind::Other, "", ""},
        {"Action 4:11:02: BathShell. Configuring Ondex Harbor", LineKind::Other, "", ""},
        {"Property(S): ShellCommand = cmd.exe /c exit 3", LineKind::Property, "ShellCommand", "cmd.exe /c exit 3"},
        {"Property(C): EMPTY = ", LineKind::Property, "EMPTY", ""},
        {"MSI (s) (C8:2C) [12:34:56:789]: PROPERTY CHANGE: Adding PWD property. Its value is 'a b'.",
         LineKind::Property, "PWD", "a b"},
        {"MSI (s) (C8:2C) [12:34:56:789]: PROPERTY CHANGE: Modifying X property. Its current value is 'a'. "
         "Its new value: 'b'.",
         LineKind::Property, "X", "b"},
        {"MSI (s) (C8:2C) [12:34:56:789]: Skipping action: IIsReset (condition is false)", LineKind::ActionSkipped,
         "IIsReset", ""},
        {"MSI (s) (C8:34) [12:34:56:801]: Invoking remote custom action. DLL: C:\\MSI1.tmp, Entrypoint: BathShell",
         LineKind::EntryPoint, "BathShell", ""},
        {"Tolka 16:32:49: (local)", LineKind::LibraryLine, "", ""},
        {"Tolka 16:32:49: Logon: (0x52E): Logon failure", LineKind::LibraryError, "", ""},
        {"SqlCheckInstance:  Error 0x80004005: calling", LineKind::LibraryError, "SqlCheckInstance", ""},
        {"BathShell:  ! BathShell: Finalize error! #1603", LineKind::LibraryError, "BathShell", ""},
        {"IsUserAdmin:    IsUserAdmin: Welcome!: Entering", LineKind::LibraryLine, "IsUserAdmin", ""},
        {"***Ondex***  Selected action: 3.", LineKind::LibraryLine, "", ""},
        {"***Ondex*** [07.12.2026 - 16:11:02:5] Access is denied.", LineKind::LibraryError, "", ""},
        {"CustomAction CheckUser returned actual error code 1603 (note ...)", LineKind::EngineError, "CheckUser", ""},
        {"Key: HKEY_LOCAL_MACHINE\\SOFTWARE, Name: Installed", LineKind::Other, "", ""},
        {"1: 0 2: 1033 3: 0 ", LineKind::Other, "", ""},
        {"MSI (s) (C8:2C) [garbage", LineKind::Other, "", ""},
        {"", LineKind::Other, "", ""},
    };
    for (const auto& c : cases) {
        const LogLine line = ParseLogLine(c.line);
        EXPECT_EQ(c.kind, line.kind) << c.line;
        EXPECT_EQ(c.name, line.name) << c.line;
        EXPECT_EQ(c.value, line.value) << c.line;
    }
    EXPECT_EQ(3, ParseLogLine("Action ended 1:00:00: A. Return value 3.").returnValue);
    EXPECT_EQ(45296789, ParseLogLine("MSI (s) (C8:2C) [12:34:56:789]: Doing action: A").stamp->millisecondsOfDay);
}

TEST(LogLine, ClockTimes) {
    const std::pair<const char*, int> valid[] = {{"4:11:02", 15062000}, {"16:11:02", 58262000},
                                                 {"12:34:56:789", 45296789}, {"00:00:00.5", 5}};
    for (const auto& [text, ms] : valid) EXPECT_EQ(ms, ParseClock(text)->millisecondsOfDay) << text;
    for (const char* text : {"", "12:34", "24:00:00", "12:60:00", "1:2:3:4:5", "12::56", "a:b:c", "1234:00:00"})
        EXPECT_FALSE(ParseClock(text)) << text;
}

TEST(LogLine, ExportNamesComeFromTheDefFile) {
    EXPECT_EQ(72u, LibraryExports().size());
    EXPECT_TRUE(IsLibraryExport("ShellProgress"));
    EXPECT_TRUE(IsLibraryExport("OxaDetectMVXBeta"));
    EXPECT_FALSE(IsLibraryExport("EXPORTS"));
    EXPECT_FALSE(IsLibraryExport("InstallFinalize"));
}

TEST(LogText, EncodingsAndLineEnds) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {Utf16WithBom("a\r\nb\n"), {"a", "b"}},
        {"a\0\r\0\n\0\xAC\x20"s, {"a", "\xE2\x82\xAC"}},  // no mark
        {"\xFE\xFF\0a"s, {"a"}},
        {"\xEF\xBB\xBF" "caf\xC3\xA9\r\n", {"caf\xC3\xA9"}},
        {"caf\xE9 \x80\nok", {"caf\xC3\xA9 \xE2\x82\xAC", "ok"}},  // CP1252
        {"\xFF\xFE\x00\xD8"s, {"\xEF\xBF\xBD"}},  // a lone surrogate
    };
    for (const auto& [bytes, lines] : cases) EXPECT_EQ(lines, DecodeLogLines(bytes));
    EXPECT_EQ("a\\x1Fb\tc", Printable("a\x1F" "b\tc"));
}

TEST(SecretMask, NamesAndValuesOfSecretProperties) {
    const SecretMask mask({"Property(S): MsiHiddenProperties = DBKEY;TOKEN", "Property(S): DBKEY = k3y-value",
                           "Property(S): SqlPassword = pw1", "Property(S): CREDUICONFIRM = ab",
                           "Property(S): USER = bob"});
    const std::pair<const char*, const char*> cases[] = {
        {"Property(S): DBKEY = anything", "Property(S): DBKEY = **********"},
        {"TOKEN=t0k", "TOKEN=**********"},
        {"Deleting MsiProperty CREDUICONFIRM: ab", "Deleting MsiProperty CREDUICONFIRM: **********"},
        {"value for property: 'SqlPassword' with value: 'pw1'", "value for property: 'SqlPassword' with value: '**********'"},
        {"connect with k3y-value and pw1", "connect with ********** and **********"},
        {"USER = bob, ab", "USER = bob, ab"},  // not secret; short values only by name
        {"Property(S): MsiHiddenProperties = DBKEY;TOKEN", "Property(S): MsiHiddenProperties = DBKEY;TOKEN"},
        {"my_password:", "my_password:"},
    };
    for (const auto& [line, masked] : cases) EXPECT_EQ(masked, mask.Apply(line)) << line;
    EXPECT_TRUE(mask.IsSecretName("ShellCommandHidden"));
    EXPECT_FALSE(mask.IsSecretName("ShellCommand"));
}

TEST(LogReport, WineLogsOfTheEndToEndRuns) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"wine_bathshell_failure.log",
         {"ShellProgress start 04:11:02, 0 s, result success", "ShellProgressHidden start 04:11:02, 0 s, result success",
          "BathShell start 04:11:02, 0 s, result success", "BathShell start 04:11:02, 0 s, result failure(0)",
          "4 runs of the library's actions, 1 not successful"}},
        {"wine_sql_check.log",
         {"EnumerateSQLInstances start 04:32:49, 0 s, result success",
          "ParseSQLInstanceName start 04:32:49, 0 s, result success",
          "GeneratePartitionsSQLCode start 04:32:49, 0 s, result success",
          "EnableWinAuth start 04:32:49, 0 s, result success", "DisableWinAuth start 04:32:49, 0 s, result success",
          "CheckSQLServerInstance start 04:32:49, 0 s, result success",
          "UpdateSqlDbLockInfo start 04:32:49, 0 s, result success",
          "7 runs of the library's actions, 0 not successful"}},
    };
    for (const auto& [name, headers] : cases) EXPECT_EQ(headers, Headers(FormatReport(ReadLog(DecodeLogLines(Fixture(name))))));
    const LogReport report = ReadLog(DecodeLogLines(Fixture("wine_bathshell_failure.log")));
    EXPECT_TRUE(report.runs[3].lines.back().error);
    EXPECT_EQ("BathShell:  ! BathShell: Finalize error! #1603: BathShell  error: (0x643): Installation failure.",
              report.runs[3].lines.back().text);
    EXPECT_EQ(std::string::npos, FormatReport(report).find("echo hidden"));
}

TEST(LogReport, WindowsVerboseLogInUtf16) {
    const std::string log =
        "=== Verbose logging started: 12/7/2026  12:34:50  Build type: SHIP UNICODE 5.00.10011.00 ===\r\n"
        "MSI (s) (C8:2C) [12:34:56:789]: Doing action: CheckUser\r\n"
        "Action start 12:34:56: CheckUser.\r\n"
        "MSI (s) (C8:34) [12:34:56:801]: Invoking remote custom action. DLL: C:\\Windows\\Installer\\MSI1A2B.tmp, "
        "Entrypoint: CheckCredentials\r\n"
        "CheckCredentials:    CheckCredentials: Welcome!: Entering Binary custom action\r\n"
        "CheckCredentials:  Error 0x80070005: failed to get formatted value for property: 'DBPASS' with value: "
        "'S3cr3t!'\r\n"
        "Tolka 12:34:57: Logon of ondex\\svc with S3cr3t! refused\r\n"
        "CustomAction CheckUser returned actual error code 1603 (note this may not be 100% accurate)\r\n"
        "MSI (s) (C8:2C) [12:34:57:589]: Note: 1: 2265 2:  3: \r\n"
        "Action ended 12:34:57: CheckUser. Return value 3.\r\n"
        "MSI (s) (C8:2C) [12:34:57:600]: Skipping action: ShellProgressHidden (condition is false)\r\n"
        "MSI (s) (C8:2C) [12:34:57:610]: Doing action: ShellProgress\r\n"
        "Action start 12:34:57: ShellProgress.\r\n"
        "ShellProgress:    ShellProgress: Executing: setup.exe /pw=Adm1nPwd\r\n"
        "MSI (s) (C8:2C) [12:34:59:010]: Note: 1: 1708\r\n"
        "Action ended 12:34:59: ShellProgress. Return value 2.\r\n"
        "Action start 12:35:00: InstallFinalize.\r\n"
        "MSI (s) (C8:2C) [12:35:00:200]: Executing op: ActionStart(Name=ConfigureHarbor,Description=Configuring,)\r\n"
        "MSI (s) (C8:48) [12:35:00:250]: Invoking remote custom action. DLL: C:\\MSI2C3D.tmp, Entrypoint: BathShell\r\n"
        "BathShell:    BathShell: Welcome!: Entering Binary custom action\r\n"
        "MSI (s) (C8:2C) [12:35:01:700]: Executing op: ActionStart(Name=WriteRegistryValues,Description=Writing,)\r\n"
        "MSI (s) (C8:2C) [12:35:01:900]: Note: 1: 1402\r\n"
        "Action ended 12:35:01: InstallFinalize. Return value 1.\r\n"
        "MSI (s) (C8:2C) [12:35:00:000]: PROPERTY CHANGE: Adding SETUPPASSWORD property. Its value is 'Adm1nPwd'.\r\n"
        "Property(S): MsiHiddenProperties = DBPASS\r\n"
        "Property(S): DBPASS = **********\r\n"
        "Property(C): DBPASS = S3cr3t!\r\n"
        "=== Logging stopped: 12/7/2026  12:35:01 ===\r\n";
    EXPECT_EQ(
        "CheckUser (export CheckCredentials) start 12:34:56.789, 0.800 s, result failure(3)\n"
        "    CheckCredentials:    CheckCredentials: Welcome!: Entering Binary custom action\n"
        "  ! CheckCredentials:  Error 0x80070005: failed to get formatted value for property: 'DBPASS' with value: "
        "'**********'\n"
        "    Tolka 12:34:57: Logon of ondex\\svc with ********** refused\n"
        "  ! CustomAction CheckUser returned actual error code 1603 (note this may not be 100% accurate)\n"
        "ShellProgressHidden start 12:34:57.600, result skipped\n"
        "ShellProgress start 12:34:57.610, 1.400 s, result cancel(2)\n"
        "    ShellProgress:    ShellProgress: Executing: setup.exe /pw=**********\n"
        "ConfigureHarbor (export BathShell) start 12:35:00.200, 1.500 s, result success\n"
        "    BathShell:    BathShell: Welcome!: Entering Binary custom action\n"
        "4 runs of the library's actions, 3 not successful\n",
        FormatReport(ReadLog(DecodeLogLines(Utf16WithBom(log)))));
}
