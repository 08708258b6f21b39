#include "sql/sql_instances.h"

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/win_exception.h"
#include "sql/sql_instances_text.h"

namespace ondex::sql {

namespace {

using platform::UniqueHKey;
using runtime::CWinEExc;
using runtime::LogTimestamped;
using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr DWORD kNameChars = 256;
constexpr wchar_t kComboProperty[] = L"TEXT_SQLINSTANCENAME";

// Opens a key for reading: false when it is missing; throws on another error.
bool OpenForReading(const std::wstring& path, UniqueHKey& key) {
    const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) throw CWinEExc(L"EnumSQLInstReg: RegOpenKeyEx failed. ", static_cast<DWORD>(status));
    return true;
}

void Append(std::vector<std::wstring>& instances, MSIHANDLE hInstall, std::wstring entry) {
    LogTimestamped(hInstall, entry.c_str());
    instances.push_back(std::move(entry));
}

// The older layout: a subkey per instance that has an "MSSQLServer" key.
void EnumInstanceSubkeys(std::vector<std::wstring>& instances, MSIHANDLE hInstall) {
    UniqueHKey server;
    if (!OpenForReading(kSqlServerKey, server)) {
        LogTimestamped(hInstall, L"EnumSQLInstReg: Register key SOFTWARE\\Microsoft\\Microsoft SQL Server not found.");
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars] = L"";
        DWORD chars = kNameChars;
        const LSTATUS status = ::RegEnumKeyExW(server.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return;
        if (status != ERROR_SUCCESS) throw CWinEExc(L"EnumSQLInstReg: RegEnumKeyEx failed. ", static_cast<DWORD>(status));
        UniqueHKey instance;
        if (OpenForReading(std::wstring(kSqlServerKey) + L"\\" + name + L"\\MSSQLServer", instance))
            Append(instances, hInstall, RegistryEntry(name));
    }
}

}  // namespace

void EnumSQLInstReg(std::vector<std::wstring>& instances, MSIHANDLE hInstall) {
    UniqueHKey names;
    if (!OpenForReading(kInstanceNamesKey, names)) {
        LogTimestamped(hInstall, L"EnumSQLInstReg: Register key SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance "
                                 L"Names\\SQL not found.");
        return EnumInstanceSubkeys(instances, hInstall);
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars] = L"";
        DWORD chars = kNameChars, type = 0;
        const LSTATUS status = platform::Api().RegEnumValueW(names.get(), index, name, &chars, nullptr, &type, nullptr,
                                                             nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return;
        if (status != ERROR_SUCCESS) throw CWinEExc(L"EnumSQLInstReg: RegEnumValue failed. ", static_cast<DWORD>(status));
        if (type == REG_SZ) Append(instances, hInstall, RegistryEntry(name));
    }
}

namespace {

// Drops the Windows Internal Database and UDDI, each with its log line.
void RemoveInternalInstances(std::vector<std::wstring>& instances, MSIHANDLE hInstall) {
    std::erase_if(instances, [hInstall](const std::wstring& entry) {
        if (entry == kWindowsInternalDatabase)
            LogTimestamped(hInstall, L"Remove Windows Internal database from fiding sql instances.");
        else if (entry == kUddiDatabase)
            LogTimestamped(hInstall, L"Remove UDDI database from finding sql instances.");
        else
            return false;
        return true;
    });
}

// Offers each entry as a ComboBox row (Order 1, 2, …) and preselects the one
// of the highest preference level, else the first. Returns the level reached.
int OfferInstances(const std::vector<std::wstring>& instances, MSIHANDLE hInstall, UINT flags, const wchar_t* actionName) {
    platform::UniqueMsiHandle view, columns;  // kept across the rows, closed at the end
    MSIHANDLE* const viewSlot = view.put();
    MSIHANDLE* const columnsSlot = columns.put();
    const std::wstring computerName = LocalComputerName();
    std::wstring preselected;
    int level = 1, order = 1;
    HRESULT last = S_OK;
    for (const std::wstring& found : instances) {
        const std::wstring key = ComparisonKey(found);
        const std::wstring entry = DisplayName(found, computerName);
        if (preselected.empty()) preselected = entry;
        last = runtime::WcaAddTempRecord(viewSlot, columnsSlot, L"ComboBox", 0, 3, kComboProperty,
                                         order++, entry.c_str());
        if (const int reached = PreferenceLevel(key); reached > level) preselected = entry, level = reached;
        TraceIf(flags, TF_TRACE, actionName, L"After WcaAddTempRecord: hResult = %i", L"Current Item: %s\nDefault Item: %s",
                key.c_str(), preselected.c_str());
    }
    MsiProperty(hInstall, kComboProperty) = preselected;
    if (FAILED(last)) TraceIf(flags, TF_TRACE, actionName, L"After WcaAddTempRecord", L"hResult = %i", static_cast<int>(last));
    return level;
}

}  // namespace

void EnumerateSQLInstancesImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty(hInstall, L"CURRENTACTIONTEXT") = L"Enumerating SQL Server Instances";
    std::vector<std::wstring> instances = EnumSqlServerInstanceNames();
    try {
        EnumSQLInstReg(instances, hInstall);
        SortUnique(instances);
    } catch (const CWinEExc& failure) {
        runtime::LogTimestampedError(hInstall, failure.Code(), failure.Message().c_str());
    }
    RemoveInternalInstances(instances, hInstall);
    const int level = instances.empty() ? 0 : OfferInstances(instances, hInstall, flags, actionName);
    const bool newestPresent = level == kNewestOndexLevel;
    MsiProperty(hInstall, L"DISABLENEWINSTANCEOPTION") = newestPresent ? L"1" : L"";
    if (newestPresent) MsiProperty(hInstall, L"RADIO_SQLINSTANCE") = L"2";
}

void ParseSQLInstanceNameImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty instance(hInstall, L"SQLINSTANCE"), server(hInstall, L"SQLSERVER");
    const auto trace = [&](const wchar_t* title) {
        TraceIf(flags, TF_TRACE, actionName, title, L"SQLINSTANCE=\"%s\"\nSQLSERVER=\"%s\"", instance.Str().c_str(),
                server.Str().c_str());
    };
    trace(L"Before change");
    const InstanceParts parts = SplitInstanceName(instance.Str());
    server = parts.server;
    instance = parts.instance;
    trace(L"After change");
}

}  // namespace ondex::sql
