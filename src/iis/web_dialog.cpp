#include <winsock2.h>

#include "iis/web_dialog.h"

#include <iphlpapi.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::iis {

namespace {

using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

// ---- The package's web tables ----

struct WebTable {
    const wchar_t* table;
    const wchar_t* keyColumn;
};
constexpr WebTable kWebTables[] = {{L"IIsWebAddress", L"Web_"}, {L"IIsWebVirtualDir", L"Web_"}, {L"IIsWebSite", L"Web"}};

// Opens, executes and closes one query; a failure is logged and the next
// query still runs.
void RunQuery(MSIHANDLE database, const std::wstring& query, UINT flags, const wchar_t* actionName) {
    TraceIf(flags, TF_TRACE, actionName, L"SQL Command", L"%s", query.c_str());
    platform::UniqueMsiHandle view;
    UINT status = ::MsiDatabaseOpenViewW(database, query.c_str(), view.put());
    if (status == ERROR_SUCCESS) status = ::MsiViewExecute(view.get(), 0);
    if (view) ::MsiViewClose(view.get());
    if (status != ERROR_SUCCESS)
        runtime::WcaLogError(runtime::HrFromInstallerError(status), "failed to run the query: %S", query.c_str());
}

// Deletes the web row `key` from the three tables and holds them; the result
// is that of closing the database handle.
UINT DeleteWebFromWebsTable(MSIHANDLE hInstall, const wchar_t* key, UINT flags, const wchar_t* actionName) {
    const MSIHANDLE database = ::MsiGetActiveDatabase(hInstall);
    for (const WebTable& web : kWebTables) {
        const std::wstring table = web.table;
        RunQuery(database,
                 L"DELETE FROM `" + table + L"` WHERE `" + web.keyColumn + L"` ='" + key + L"'", flags, actionName);
        RunQuery(database, L"ALTER TABLE `" + table + L"` HOLD", flags, actionName);
    }
    const UINT result = ::MsiCloseHandle(database);
    TraceIf(flags, TF_TRACE, actionName, runtime::FormatWide(L"DeleteWebFromWebsTable - %s", key).c_str(),
            L"Result: %i", static_cast<int>(result));
    return result;
}

// ---- The TCP table ----

struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};
using TcpTable = std::unique_ptr<MIB_TCPTABLE, FreeBlock>;

TcpTable AllocateTable(ULONG bytes) { return TcpTable(static_cast<MIB_TCPTABLE*>(std::calloc(1, bytes))); }

bool RowsHoldPort(const MIB_TCPTABLE& table, ULONG bytes, std::uint16_t port) {
    // Never more rows than the buffer holds, whatever the count says.
    const ULONG capacity = (bytes - offsetof(MIB_TCPTABLE, table)) / sizeof(MIB_TCPROW);
    const ULONG rows = table.dwNumEntries < capacity ? table.dwNumEntries : capacity;
    for (ULONG i = 0; i < rows; ++i) {
        const MIB_TCPROW& row = table.table[i];
        // The port is in network byte order in the low word.
        const auto localPort = static_cast<std::uint16_t>(((row.dwLocalPort & 0xFF) << 8) | ((row.dwLocalPort >> 8) & 0xFF));
        if (localPort == port && row.dwState != MIB_TCP_STATE_CLOSED) return true;
    }
    return false;
}

constexpr const wchar_t* kSiteProperties[] = {L"TCPPORT", L"HOSTHEADER", L"IPADDRESS", L"WEBSITENAME", L"WEBSITEID",
                                             L"USEEXISTINGWEB"};

}  // namespace

bool IsXpOrOlder(MSIHANDLE hInstall) { return ::MsiEvaluateConditionW(hInstall, L"VersionNT <= 501") != MSICONDITION_FALSE; }

PortUse LocalTcpPortUse(std::uint16_t port) {
    ULONG bytes = 24;
    TcpTable table = AllocateTable(bytes);
    if (!table) return PortUse::Undetermined;
    DWORD status = platform::Api().GetTcpTable(table.get(), &bytes, TRUE);
    if (status == ERROR_INSUFFICIENT_BUFFER) {
        if (bytes < sizeof(MIB_TCPTABLE) || !(table = AllocateTable(bytes))) return PortUse::Undetermined;
        status = platform::Api().GetTcpTable(table.get(), &bytes, TRUE);
    }
    if (status != NO_ERROR || bytes < offsetof(MIB_TCPTABLE, table)) return PortUse::Free;  // a failing read: not in use
    return RowsHoldPort(*table, bytes, port) ? PortUse::InUse : PortUse::Free;
}

void PreInitIIsWebDataImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    result = DeleteWebFromWebsTable(hInstall, IsXpOrOlder(hInstall) ? L"PrismWeb" : L"DefaultWebSite", flags,
                                    actionName);
}

void InitWebConfigGuiImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    for (const wchar_t* name : kSiteProperties) MsiProperty(hInstall, name).Value();
    if (IsXpOrOlder(hInstall)) {
        MsiProperty(hInstall, L"USEEXISTINGWEB") = L"YES";
        MsiProperty(hInstall, L"WEBSITENAME") = L"Default Web Site";
        MsiProperty(hInstall, L"WEBSITEID") = L"DefaultWebSite";
    } else {
        MsiProperty(hInstall, L"TCPPORT") = L"1";
        MsiProperty(hInstall, L"USEEXISTINGWEB") = L"NO";
    }
}

void CheckLocalTCPImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty portText(hInstall, L"CheckLocalTCPPORT");
    std::wstring rewritten;
    std::uint16_t port = 0;
    std::wstring verdict = LocalPortVerdict(portText.Str(), rewritten, port);
    if (!rewritten.empty()) portText = rewritten;
    if (verdict.empty()) verdict = LocalPortUseVerdict(LocalTcpPortUse(port), port);
    MsiProperty(hInstall, L"CheckLocalTCPResult") = verdict;
}

void StoreWebConfigImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const auto read = [hInstall](const wchar_t* name) { return MsiProperty(hInstall, name).Str(); };
    const WebDialogChoice choice{read(L"WEBSITENAME"),   read(L"HOSTHEADER"),          read(L"IPADDRESS"),
                                 read(L"RADIO_WEBSITE"), read(L"COMBO_EXISTINGWEBSITENAME"),
                                 read(L"EDIT_NEWWEBSITENAME"), read(L"RADIO_NEWWEBSITETYPE"),
                                 read(L"EDIT_HOSTHEADER"), read(L"EDIT_TCPPORT"), read(L"EDIT_IPADDRESS")};
    const WebDialogResult decided = DecideWebDialog(choice);
    if (!decided.invalidProperty.empty()) {
        const std::wstring title = L"Invalid case of " + decided.invalidProperty;
        TraceIf(flags, TF_TRACE, actionName, title.c_str(), L"%s",
                QuotedProperty(decided.invalidProperty.c_str(), decided.invalidValue).c_str());
    }
    MsiProperty(hInstall, L"WebCheckStat") = decided.status;
    if (decided.status == L"S_OK") {
        MsiProperty(hInstall, L"WEBSITENAME") = decided.name;
        MsiProperty(hInstall, L"HOSTHEADER") = decided.host;
        MsiProperty(hInstall, L"IPADDRESS") = decided.ip;
        MsiProperty(hInstall, L"TCPPORT") = decided.port;
    }
    if (!(flags & TF_TRACE)) return;
    std::wstring values = L"PROP VALUES:";
    for (const wchar_t* name : {L"WebCheckStat", L"WEBSITENAME", L"HOSTHEADER", L"IPADDRESS", L"TCPPORT",
                                L"APPPOOLNAME", L"SITEMBROOT", L"WEBSITEID", L"WEBAPPPOOLID"})
        values += L"\n  " + QuotedProperty(name, read(name));
    TraceIf(flags, TF_TRACE, actionName, L"StoreWebConfig", L"%s", values.c_str());
    TraceIf(flags, TF_TRACE, actionName, L"StoreWebConfig", L"%s", L"DONE!");
}

}  // namespace ondex::iis
