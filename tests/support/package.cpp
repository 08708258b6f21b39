#include "support/package.h"

#include <msidefs.h>
#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <regex>
#include <stdexcept>

#include "runtime/tracer.h"

namespace ondex::test {

namespace {

// Opening a package logs its own start line; captures ignore it.
bool g_openingPackage = false;

std::wstring UniqueTempPath(const wchar_t* prefix) {
    static std::atomic<unsigned> counter{0};
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++counter);
}

void Check(UINT status, const char* what) {
    if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

// Text from a call that reports the size it needs when given too little room.
template <typename Read>
std::wstring ReadText(Read read) {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    read(empty, &size);
    std::wstring text(size + 1, L'\0');
    DWORD capacity = size + 1;
    read(text.data(), &capacity);
    text.resize(capacity);
    return text;
}

}  // namespace

TestPackage::TestPackage() : path_(UniqueTempPath(L"ondex_pkg_") + L".msi") {
    Check(MsiOpenDatabaseW(path_.c_str(), MSIDBOPEN_CREATE, database_.put()), "MsiOpenDatabaseW");
    {
        platform::UniqueMsiHandle summary;
        Check(MsiGetSummaryInformationW(database_.get(), nullptr, 4, summary.put()), "MsiGetSummaryInformationW");
        MsiSummaryInfoSetPropertyW(summary.get(), PID_REVNUMBER, VT_LPSTR, 0, nullptr,
                                   L"{00000000-0000-0000-0000-000000000001}");
        MsiSummaryInfoSetPropertyW(summary.get(), PID_TEMPLATE, VT_LPSTR, 0, nullptr, L"x64;1033");
        MsiSummaryInfoSetPropertyW(summary.get(), PID_PAGECOUNT, VT_I4, 200, nullptr, nullptr);
        MsiSummaryInfoSetPropertyW(summary.get(), PID_WORDCOUNT, VT_I4, 2, nullptr, nullptr);
        Check(MsiSummaryInfoPersist(summary.get()), "MsiSummaryInfoPersist");
    }
    Sql(L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL LOCALIZABLE "
        L"PRIMARY KEY `Property`)");
    Property(L"ProductCode", L"{7D5A3B52-3C4E-4F43-9D2E-6F0A1B2C3D4E}");
    Property(L"ProductName", L"Ondex Test Package");
    Property(L"ProductVersion", L"1.0.0");
    Property(L"ProductLanguage", L"1033");
    Property(L"Manufacturer", L"Ondex");
}

TestPackage::~TestPackage() {
    session_.reset();
    database_.reset();
    DeleteFileW(path_.c_str());
}

TestPackage& TestPackage::Sql(const std::wstring& query) {
    platform::UniqueMsiHandle view;
    Check(MsiDatabaseOpenViewW(database_.get(), query.c_str(), view.put()), "MsiDatabaseOpenViewW");
    Check(MsiViewExecute(view.get(), 0), "MsiViewExecute");
    return *this;
}

// Inserts (name, second field) into a two-column table.
TestPackage& TestPackage::Insert(const wchar_t* query, const std::wstring& name, const std::function<UINT(MSIHANDLE)>& second) {
    platform::UniqueMsiHandle view;
    Check(MsiDatabaseOpenViewW(database_.get(), query, view.put()), "open insert");
    platform::UniqueMsiHandle record(MsiCreateRecord(2));
    MsiRecordSetStringW(record.get(), 1, name.c_str());
    Check(second(record.get()), "set field");
    Check(MsiViewExecute(view.get(), record.get()), "insert");
    return *this;
}

TestPackage& TestPackage::Property(const std::wstring& name, const std::wstring& value) {
    return Insert(L"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", name,
                  [&](MSIHANDLE r) { return MsiRecordSetStringW(r, 2, value.c_str()); });
}

TestPackage& TestPackage::Binary(const std::wstring& name, const std::wstring& path) {
    if (!hasBinaryTable_) Sql(L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)");
    hasBinaryTable_ = true;
    return Insert(L"INSERT INTO `Binary` (`Name`, `Data`) VALUES (?, ?)", name,
                  [&](MSIHANDLE r) { return MsiRecordSetStreamW(r, 2, path.c_str()); });
}

TestPackage& TestPackage::Table(const std::wstring& name) {
    static const std::pair<const wchar_t*, const wchar_t*> kTables[] = {
        {L"Directory", L"`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), `DefaultDir` CHAR(255) NOT NULL "
                       L"PRIMARY KEY `Directory`"},
        {L"Component", L"`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` CHAR(72) NOT NULL, "
                       L"`Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY `Component`"},
        {L"Feature", L"`Feature` CHAR(38) NOT NULL, `Feature_Parent` CHAR(38), `Title` CHAR(64), `Description` "
                     L"CHAR(255), `Display` SHORT, `Level` SHORT NOT NULL, `Directory_` CHAR(72), `Attributes` SHORT "
                     L"NOT NULL PRIMARY KEY `Feature`"},
        {L"FeatureComponents", L"`Feature_` CHAR(38) NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Feature_`, "
                               L"`Component_`"},
        {L"CustomAction", L"`Action` CHAR(72) NOT NULL, `Type` SHORT NOT NULL, `Source` CHAR(72), `Target` CHAR(255) "
                          L"PRIMARY KEY `Action`"},
        {L"InstallExecuteSequence", L"`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), `Sequence` SHORT PRIMARY KEY "
                                    L"`Action`"},
        {L"ComboBox", L"`Property` CHAR(72) NOT NULL, `Order` SHORT NOT NULL, `Value` CHAR(64) NOT NULL, "
                      L"`Text` CHAR(64) PRIMARY KEY `Property`, `Order`"},
    };
    for (const auto& [table, columns] : kTables)
        if (name == table) return Sql(L"CREATE TABLE `" + name + L"` (" + columns + L")");
    throw std::invalid_argument("no such standard table");
}

TestPackage& TestPackage::Row(const std::wstring& table,
                              const std::vector<std::pair<std::wstring, std::wstring>>& literals) {
    std::wstring columns, values;
    for (const auto& [column, literal] : literals) {
        if (literal.empty()) continue;
        const wchar_t* comma = columns.empty() ? L"" : L", ";
        columns += comma + (L"`" + column + L"`");
        values += comma + literal;
    }
    return Sql(L"INSERT INTO `" + table + L"` (" + columns + L") VALUES (" + values + L")");
}

std::wstring Quoted(const std::wstring& text) { return text.empty() ? text : L"'" + text + L"'"; }

std::wstring NewGuidText() {
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t text[40] = L"";
    StringFromGUID2(guid, text, 40);
    return text;
}
std::wstring Number(std::optional<int> value) { return value ? std::to_wstring(*value) : std::wstring(); }

void TestPackage::Set(const std::wstring& name, const std::wstring& value) {
    MsiSetPropertyW(Session(), name.c_str(), value.c_str());
}

std::wstring TestPackage::Get(const std::wstring& name) {
    return ReadText([&](wchar_t* text, DWORD* size) { MsiGetPropertyW(Session(), name.c_str(), text, size); });
}

std::vector<std::wstring> TestPackage::Column(const std::wstring& query) {
    std::vector<std::wstring> values;
    const platform::UniqueMsiHandle database(MsiGetActiveDatabase(Session()));
    platform::UniqueMsiHandle view, record;
    if (MsiDatabaseOpenViewW(database.get(), query.c_str(), view.put()) != ERROR_SUCCESS) return values;
    MsiViewExecute(view.get(), 0);
    while (MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS)
        values.push_back(ReadText([&](wchar_t* text, DWORD* size) { MsiRecordGetStringW(record.get(), 1, text, size); }));
    return values;
}

const std::wstring& TestPackage::Commit() {
    if (database_) {
        Check(MsiDatabaseCommit(database_.get()), "MsiDatabaseCommit");
        database_.reset();
    }
    return path_;
}

MSIHANDLE TestPackage::Session() {
    if (!session_) {
        Commit();
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        g_openingPackage = true;
        const UINT status = MsiOpenPackageW(path_.c_str(), session_.put());
        g_openingPackage = false;
        Check(status, "MsiOpenPackageW");
        // The tests' sessions stand for an immediate run with the full user
        // interface, where a box can be answered; tests of silent runs set 2.
        MsiSetPropertyW(session_.get(), L"UILevel", L"5");
    }
    return session_.get();
}

LogCapture::LogCapture() {
    const DWORD filter = INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_INFO | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING | INSTALLLOGMODE_USER |
                         INSTALLLOGMODE_PROGRESS | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
                         INSTALLLOGMODE_COMMONDATA;
    MsiSetExternalUIRecord(&LogCapture::Handler, filter, this, &previous_);
}

LogCapture::~LogCapture() { MsiSetExternalUIRecord(previous_, 0, nullptr, nullptr); }

int WINAPI LogCapture::Handler(LPVOID context, UINT type, MSIHANDLE record) {
    auto& self = *static_cast<LogCapture*>(context);
    if (g_openingPackage) return 0;
    const auto kind = static_cast<INSTALLMESSAGE>(type & 0xFF000000);
    Message message{kind, {}, {}, type & 0x00FFFFFF};
    if (record) {
        const UINT count = MsiRecordGetFieldCount(record);
        for (UINT i = kind == INSTALLMESSAGE_ACTIONSTART ? 0 : 1; i <= count; ++i)
            message.fields.push_back(
                ReadText([&](wchar_t* text, DWORD* size) { MsiRecordGetStringW(record, i, text, size); }));
        message.text = ReadText([&](wchar_t* text, DWORD* size) { MsiFormatRecordW(0, record, text, size); });
    }
    self.messages_.push_back(std::move(message));
    for (const auto& [answerType, answer] : self.answers_)
        if (answerType == kind) return answer;
    return 0;
}

void LogCapture::AnswerWith(INSTALLMESSAGE type, int answer) { answers_.emplace_back(type, answer); }

std::vector<std::wstring> LogCapture::InfoLines() const { return InfoLinesWith(L""); }

bool LogCapture::HasInfoLine(const std::wstring& line) const { return std::ranges::count(InfoLines(), line) > 0; }

std::vector<std::wstring> LogCapture::InfoLinesWith(const std::wstring& part) const {
    std::vector<std::wstring> found;
    for (const auto& m : messages_)
        if (m.type == INSTALLMESSAGE_INFO && m.text.find(part) != std::wstring::npos) found.push_back(m.text);
    return found;
}

std::vector<std::wstring> LogCapture::TimestampedLines() const {
    static const std::wregex kStamp(L"Tolka \\d\\d:\\d\\d:\\d\\d: ");
    std::vector<std::wstring> lines;
    std::wsmatch stamp;
    for (const auto& text : InfoLines())
        if (std::regex_search(text, stamp, kStamp, std::regex_constants::match_continuous))
            lines.push_back(stamp.suffix());
    return lines;
}

std::vector<std::vector<int>> LogCapture::Progress() const {
    std::vector<std::vector<int>> records;
    for (const auto& m : OfType(INSTALLMESSAGE_PROGRESS)) {
        records.emplace_back();
        for (const auto& f : m.fields) records.back().push_back(f.empty() ? 0 : std::stoi(f));
    }
    return records;
}

std::vector<LogCapture::Message> LogCapture::OfType(INSTALLMESSAGE type) const {
    std::vector<Message> found;
    for (const auto& m : messages_)
        if (m.type == type) found.push_back(m);
    return found;
}

OndexRegistryScope::OndexRegistryScope() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Ondex"); }
OndexRegistryScope::~OndexRegistryScope() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Ondex"); }

namespace {
void SetValue(const wchar_t* subKey, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    platform::UniqueHKey key;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
          "RegCreateKeyExW");
    Check(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), "RegSetValueExW");
}
}  // namespace

void OndexRegistryScope::SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value) {
    SetValue(subKey, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}
void OndexRegistryScope::SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value) {
    SetValue(subKey, name, REG_DWORD, &value, sizeof value);
}
void OndexRegistryScope::SetBinary(const wchar_t* subKey, const wchar_t* name, const std::vector<BYTE>& value,
                                   DWORD type) {
    SetValue(subKey, name, type, value.data(), static_cast<DWORD>(value.size()));
}

TempFolder::TempFolder() : path_(UniqueTempPath(L"ondex_dir_")) { CreateDirectoryW(path_.c_str(), nullptr); }

TempFolder::~TempFolder() {
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

EveryTraceOn::EveryTraceOn(DWORD flags) {
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"@TRACERFLAGS_ANDORMASK", 0);
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"@TRACERFLAGS_XORMASK", flags);
    wchar_t saved[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, saved);
    saved_ = saved;
    SetCurrentDirectoryW(folder_.Path().c_str());
    runtime::Tracer().Close();
}

EveryTraceOn::~EveryTraceOn() {
    runtime::Tracer().Close();
    SetCurrentDirectoryW(saved_.c_str());
}

std::string EveryTraceOn::Text() {
    runtime::Tracer().Close();
    return ReadFileBytes(folder_.File(L"tlk"));
}

TestPackage& CreatePrerequisiteTables(TestPackage& package) {
    return package
        .Sql(L"CREATE TABLE `Prerequisites` (`PrerequisiteId` CHAR(0) NOT NULL, `Order` SHORT, `Name` CHAR(255), "
             L"`RequiredVersion` CHAR(72), `InstalledVersionPropertyName` CHAR(72), `StatusPropertyName` CHAR(72), "
             L"`StatusTextPropertyName` CHAR(72) PRIMARY KEY `PrerequisiteId`)")
        .Sql(L"CREATE TABLE `PrerequisiteActions` (`PrerequisiteId_` CHAR(0) NOT NULL, `Order` SHORT, "
             L"`ActionFlags` LONG, `Condition` CHAR(255), `Property` CHAR(72), `Value` CHAR(255), "
             L"`Action` CHAR(0), `ProgressText` CHAR(255), `ExpectedDuration` LONG, "
             L"`ProgressUpdateInterval` LONG PRIMARY KEY `PrerequisiteId_`, `Order`)");
}

std::wstring TestFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

std::wstring TestTool(const std::wstring& steps) { return L"\"" + TestFolder() + L"ondex_testtool.exe\" " + steps; }

std::wstring SystemErrorText(DWORD code) {
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x400, text, 512, nullptr);
    return text;
}

std::wstring ComputerName() {
    wchar_t name[32] = L"";
    DWORD size = 32;
    GetComputerNameW(name, &size);
    return name;
}

std::string ReadFileBytes(const std::wstring& path) {
    platform::UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return {};
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    platform::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        throw std::runtime_error("cannot write file");
    }
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace ondex::test
