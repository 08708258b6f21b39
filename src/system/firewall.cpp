#include "system/firewall.h"

#include <netfw.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/user_box.h"
#include "runtime/win_exception.h"
#include "system/firewall_text.h"

namespace ondex::system {

using platform::Api;
using platform::ComPtr;
using platform::UniqueBstr;
using runtime::CWinEExc;

namespace {

// "No more endpoints" from the endpoint mapper: the firewall service is not running.
constexpr DWORD kServiceNotStarted = 0x800706D9;

void Check(HRESULT hr, const wchar_t* failure) {
    if (FAILED(hr)) throw CWinEExc(failure, static_cast<DWORD>(hr));
}

UniqueBstr Bstr(const std::wstring& text, const wchar_t* failure) {
    UniqueBstr value(::SysAllocString(text.c_str()));
    if (!value) throw CWinEExc(failure, static_cast<DWORD>(E_OUTOFMEMORY));
    return value;
}

template <typename T>
ComPtr<T> Create(REFCLSID clsid, const wchar_t* failure) {
    ComPtr<T> object;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T), object.put_void()), failure);
    return object;
}

// Runs an is-enabled check; a check that cannot answer fails under its own
// name alone, with the code of the call that failed.
template <typename Query>
bool EnabledCheck(const wchar_t* checkFailure, Query query) {
    try {
        return query();
    } catch (const CWinEExc& failure) {
        throw CWinEExc(checkFailure, failure.Code());
    }
}

// ---- Basic interface: the current profile's applications and open ports ----

ComPtr<INetFwProfile> WindowsFirewallInitialize() {
    auto manager = Create<INetFwMgr>(__uuidof(NetFwMgr), L"CoCreateInstance failed.");
    ComPtr<INetFwPolicy> policy;
    Check(manager->get_LocalPolicy(policy.put()), L"INetFwMgr->get_LocalPolicy failed.");
    ComPtr<INetFwProfile> profile;
    Check(policy->get_CurrentProfile(profile.put()), L"INetFwProfile->get_LocalPolicy failed.");
    return profile;
}

ComPtr<INetFwAuthorizedApplications> Applications(INetFwProfile* profile) {
    ComPtr<INetFwAuthorizedApplications> applications;
    Check(profile->get_AuthorizedApplications(applications.put()),
          L"INetFwProfile->get_AuthorizedApplications failed.");
    return applications;
}

ComPtr<INetFwOpenPorts> OpenPorts(INetFwProfile* profile) {
    ComPtr<INetFwOpenPorts> ports;
    Check(profile->get_GloballyOpenPorts(ports.put()), L"INetFwProfile->get_GloballyOpenPorts failed.");
    return ports;
}

bool WindowsFirewallAppIsEnabled(INetFwProfile* profile, const std::wstring& path) {
    return EnabledCheck(L"WindowsFirewallAppIsEnabled failed. ", [&] {
        auto applications = Applications(profile);
        auto image = Bstr(path, L"SysAllocString failed.");
        ComPtr<INetFwAuthorizedApplication> application;
        if (FAILED(applications->Item(image.get(), application.put())) || !application) return false;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        Check(application->get_Enabled(&enabled), L"INetFwAuthorizedApplication->get_Enabled failed.");
        return enabled != VARIANT_FALSE;
    });
}

bool WindowsFirewallPortIsEnabled(INetFwProfile* profile, long port) {
    return EnabledCheck(L"WindowsFirewallPortIsEnabled failed.", [&] {
        auto ports = OpenPorts(profile);
        ComPtr<INetFwOpenPort> open;
        if (FAILED(ports->Item(port, NET_FW_IP_PROTOCOL_TCP, open.put())) || !open) return false;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        Check(open->get_Enabled(&enabled), L"INetFwOpenPort->get_Enabled failed.");
        return enabled != VARIANT_FALSE;
    });
}

void WindowsFirewallAddApp(INetFwProfile* profile, const std::wstring& path, const std::wstring& name) {
    if (WindowsFirewallAppIsEnabled(profile, path)) return;
    auto application = Create<INetFwAuthorizedApplication>(__uuidof(NetFwAuthorizedApplication),
                                                           L"CoCreateInstance(NetFwAuthorizedApplication) failed.");
    Check(application->put_ProcessImageFileName(Bstr(path, L"SysAllocString failed.").get()),
          L"INetFwAuthorizedApplication->put_ProcessImageFileName failed.");
    Check(application->put_Name(Bstr(name, L"SysAllocString failed.").get()),
          L"INetFwAuthorizedApplication->put_Name failed.");
    Check(Applications(profile)->Add(application.get()), L"INetFwAuthorizedApplications->Add failed.");
}

void WindowsFirewallAddPort(INetFwProfile* profile, long port, const std::wstring& name) {
    if (WindowsFirewallPortIsEnabled(profile, port)) return;
    auto open = Create<INetFwOpenPort>(__uuidof(NetFwOpenPort), L"CoCreateInstance failed.");
    Check(open->put_Port(port), L"INetFwOpenPort->put_Port failed.");
    Check(open->put_Protocol(NET_FW_IP_PROTOCOL_TCP), L"INetFwOpenPort->put_Protocol failed.");
    Check(open->put_Name(Bstr(name, L"SysAllocString failed.").get()), L"INetFwOpenPort->put_Name failed.");
    Check(OpenPorts(profile)->Add(open.get()), L"INetFwOpenPorts->Add failed.");
}

void WindowsFirewallDeleteApp(INetFwProfile* profile, const std::wstring& path) {
    Check(Applications(profile)->Remove(Bstr(path, L"SysAllocString failed.").get()),
          L"INetFwAuthorizedApplications->Remove failed.");
}

void WindowsFirewallDeletePort(INetFwProfile* profile, long port) {
    Check(OpenPorts(profile)->Remove(port, NET_FW_IP_PROTOCOL_TCP), L"INetFwOpenPorts->Remove failed.");
}

// ---- Advanced interface: rules of the firewall with advanced security ----

ComPtr<INetFwRules> Rules() {
    auto policy = Create<INetFwPolicy2>(__uuidof(NetFwPolicy2), L"CoCreateInstance INetFwPolicy2 failed.");
    ComPtr<INetFwRules> rules;
    Check(policy->get_Rules(rules.put()), L"INetFwPolicy2->get_Rules failed.");
    return rules;
}

std::wstring RuleText(INetFwRule* rule, HRESULT (STDMETHODCALLTYPE INetFwRule::*getter)(BSTR*),
                     const wchar_t* failure) {
    UniqueBstr text;
    Check((rule->*getter)(text.put()), failure);
    return text ? std::wstring(text.get(), ::SysStringLen(text.get())) : std::wstring();
}

// The rules named `name` for the application `path` (rules without one when it is empty).
std::vector<ComPtr<INetFwRule>> RulesFor(INetFwRules* rules, const std::wstring& name, const std::wstring& path) {
    ComPtr<IUnknown> items;
    Check(rules->get__NewEnum(items.put()), L"INetFwRules->get__NewEnum failed.");
    ComPtr<IEnumVARIANT> enumerator;
    Check(items->QueryInterface(__uuidof(IEnumVARIANT), enumerator.put_void()), L"INetFwRules->get__NewEnum failed.");
    std::vector<ComPtr<INetFwRule>> found;
    for (platform::UniqueVariant item; enumerator->Next(1, item.put(), nullptr) == S_OK;) {
        ComPtr<INetFwRule> rule;
        if (V_VT(&item.get()) != VT_DISPATCH || !V_DISPATCH(&item.get()) ||
            FAILED(V_DISPATCH(&item.get())->QueryInterface(__uuidof(INetFwRule), rule.put_void())))
            continue;
        if (RuleText(rule.get(), &INetFwRule::get_Name, L"INetFwRule->get_Name failed.") != name) continue;
        const std::wstring application =
            RuleText(rule.get(), &INetFwRule::get_ApplicationName, L"INetFwRule->get_ApplicationName failed.");
        if (::lstrcmpiW(application.c_str(), path.c_str()) == 0) found.push_back(std::move(rule));
    }
    return found;
}

// A rule name no other rule has.
std::wstring UniqueRuleName() {
    GUID id{};
    Check(::CoCreateGuid(&id), L"CoCreateGuid failed.");
    wchar_t text[40] = {};
    ::StringFromGUID2(id, text, 40);
    return std::wstring(L"Ondex replaced rule ") + text;
}

// The earlier rules of this record's name and application; none when they
// cannot be listed (Wine's firewall lists none): the new rule matters more.
std::vector<ComPtr<INetFwRule>> EarlierRules(INetFwRules* rules, const FirewallAddRecord& record) {
    try {
        return RulesFor(rules, record.name, record.path);
    } catch (const CWinEExc& failure) {
        runtime::WcaLog(runtime::LOGMSG_STANDARD, "Earlier firewall rules cannot be listed (0x%08X); none is replaced.",
                        static_cast<unsigned>(failure.Code()));
        return {};
    }
}

// Adds `rule` in place of the earlier rules of its name and application, so
// that a repair leaves one rule where the installation made one. Rules can
// only be removed by name: the earlier ones get a name of their own first,
// so that rules of the same name for other applications stay. They keep
// their name when the new rule cannot be added, and are disabled before they
// are removed, so that one a removal misses allows nothing.
void AddInPlaceOfEarlierRules(INetFwRules* rules, INetFwRule* rule, const FirewallAddRecord& record) {
    const std::vector<ComPtr<INetFwRule>> earlier = EarlierRules(rules, record);
    if (earlier.empty()) return Check(rules->Add(rule), L"INetFwRules->Add failed.");
    const auto original = Bstr(record.name, L"SysAllocString fwRuleName failed.");
    const auto replaced = Bstr(UniqueRuleName(), L"SysAllocString fwRuleName failed.");
    size_t renamed = 0;
    HRESULT hr = S_OK;
    while (renamed < earlier.size() && SUCCEEDED(hr = earlier[renamed]->put_Name(replaced.get()))) ++renamed;
    const bool allRenamed = SUCCEEDED(hr);
    if (allRenamed) hr = rules->Add(rule);
    if (FAILED(hr)) {
        for (size_t i = 0; i < renamed; ++i) earlier[i]->put_Name(original.get());
        Check(hr, allRenamed ? L"INetFwRules->Add failed." : L"INetFwRule->put_Name failed.");
    }
    for (const auto& old : earlier) old->put_Enabled(VARIANT_FALSE);
    for (size_t removed = 0; removed < earlier.size(); ++removed)
        Check(rules->Remove(replaced.get()), L"INetFwRules->Remove failed.");
}

// An inbound TCP rule that allows the application and ports for every
// profile, in place of the earlier rules of its name and application.
void WindowsFirewallAddAppAS(const FirewallAddRecord& record) {
    auto rules = Rules();
    auto rule = Create<INetFwRule>(__uuidof(NetFwRule), L"CoCreateInstance INetFwRule failed.");
    Check(rule->put_Description(Bstr(record.description, L"SysAllocString fwRuleDescription failed.").get()),
          L"INetFwRule->put_Description failed.");
    Check(rule->put_Name(Bstr(record.name, L"SysAllocString fwRuleName failed.").get()),
          L"INetFwRule->put_Name failed.");
    Check(rule->put_Grouping(Bstr(record.group, L"SysAllocString fwGroup failed.").get()),
          L"INetFwRule->put_Grouping failed.");
    if (!record.path.empty())
        Check(rule->put_ApplicationName(Bstr(record.path, L"SysAllocString fwAppPath failed.").get()),
              L"INetFwRule->put_ApplicationName failed.");
    Check(rule->put_Protocol(NET_FW_IP_PROTOCOL_TCP), L"INetFwRule->put_Protocol failed.");
    if (!record.ports.empty())
        Check(rule->put_LocalPorts(Bstr(record.ports, L"SysAllocString LocalPorts failed.").get()),
              L"INetFwRule->put_LocalPorts failed.");
    Check(rule->put_Profiles(NET_FW_PROFILE2_ALL), L"INetFwRule->put_Profiles failed.");
    Check(rule->put_Enabled(VARIANT_TRUE), L"INetFwRule->put_Enabled failed.");
    Check(rule->put_Action(NET_FW_ACTION_ALLOW), L"INetFwRule->put_Action failed.");
    AddInPlaceOfEarlierRules(rules.get(), rule.get(), record);
}

void WindowsFirewallDelteAppAS(const std::wstring& name) {
    Check(Rules()->Remove(Bstr(name, L"SysAllocString failed.").get()), L"INetFwRules->Remove failed.");
}

// ---- The actions ----

class FirewallAction {
public:
    FirewallAction(MSIHANDLE hInstall, bool adding) : hInstall_(hInstall), adding_(adding) {}

    bool Adding() const { return adding_; }
    void Log(const std::wstring& text) const { runtime::LogTimestamped(hInstall_, text.c_str()); }
    // The warning box: additions only; removal failures are only logged.
    void Warn() const {
        if (!adding_) return;
        runtime::ShowBox(hInstall_, nullptr, L"Unable to add exception to Windows Firewall settings.", caption_.c_str(),
                         MB_ICONWARNING | MB_TOPMOST);
    }
    void LogFailure(DWORD code, const wchar_t* prefix) const { Log(runtime::FormatErrMessage(code, prefix)); }

    // Runs one step of a record. A failure is logged and, when adding, shown;
    // false when the firewall service is not running and the action must end.
    template <typename Step>
    bool Attempt(const std::wstring& prefix, Step step) const {
        try {
            step();
            return true;
        } catch (const CWinEExc& failure) {
            LogFailure(failure.Code(), prefix.c_str());
            Log(failure.Message());
            if (failure.Code() == kServiceNotStarted) {
                Log(L"Windows Firewall service is not started.");
                return false;
            }
            Warn();
            return true;
        }
    }

    // The record items, or nothing when there is no work or it is malformed.
    std::vector<std::wstring> ReadItems(size_t recordItems) {
        const std::wstring data = runtime::MsiProperty(hInstall_, L"CustomActionData").Str();
        if (data.empty()) {
            Log(L"CustomActionData is not set.");
            return {};
        }
        auto items = SplitItems(data);
        for (const auto& item : items) Log(L"Property: " + item);
        caption_ = items.front();
        if (!RecordCountMatches(items.size(), recordItems)) {
            Log(L"Count of properties is not matched.");
            Warn();
            return {};
        }
        return items;
    }

private:
    MSIHANDLE hInstall_;
    bool adding_;
    std::wstring caption_;
};

// Runs `work` inside the action's COM apartment with the Windows version, or
// reports why it cannot (a failed version query only when adding).
template <typename Work>
void WithFirewall(const FirewallAction& action, Work work) {
    platform::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!com.Usable()) {
        action.LogFailure(static_cast<DWORD>(com.Status()), L"CoInitializeEx failed");
        action.Warn();
        return;
    }
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!Api().GetVersionExW(&version)) {
        if (action.Adding()) {
            action.LogFailure(Api().GetLastError(), L"GetVersionEx failed.");
            action.Warn();
        }
        return;
    }
    work(version.dwMajorVersion >= 6);
}

void AddBasic(const FirewallAction& action, const std::vector<FirewallAddRecord>& records) {
    action.Log(L"Use Firewall API.");
    for (const auto& record : records) {
        ComPtr<INetFwProfile> profile;
        if (!action.Attempt(L"WindowsFirewallInitialize failed. ", [&] { profile = WindowsFirewallInitialize(); }))
            return;
        if (!profile) continue;
        const bool goOn =
            action.Attempt(L"WindowsFirewallAddApp failed. Unable to add exception to firewall to " + record.path, [&] {
                for (long port : ParsePorts(record.ports)) WindowsFirewallAddPort(profile.get(), port, record.name);
                WindowsFirewallAddApp(profile.get(), record.path, record.name);
            });
        if (!goOn) return;
    }
}

void AddAdvanced(const FirewallAction& action, const std::vector<FirewallAddRecord>& records) {
    action.Log(L"Use Firewall API with Advanced Services.");
    for (const auto& record : records) {
        if (!action.Attempt(L"WindowsFirewallAddAppAS failed. Unable to add exception to firewall to " + record.path,
                            [&] { WindowsFirewallAddAppAS(record); }))
            return;
    }
}

void RemoveBasic(const FirewallAction& action, const std::vector<FirewallRemoveRecord>& records) {
    for (const auto& record : records) {
        ComPtr<INetFwProfile> profile;
        if (!action.Attempt(L"WindowsFirewallInitialize failed. ", [&] { profile = WindowsFirewallInitialize(); }))
            return;
        if (!profile) continue;
        const bool goOn = action.Attempt(
            L"WindowsFirewallDeleteApp failed. Unable to delete exception from firewall to " + record.path, [&] {
                for (long port : ParsePorts(record.ports)) WindowsFirewallDeletePort(profile.get(), port);
                WindowsFirewallDeleteApp(profile.get(), record.path);
            });
        if (!goOn) return;
    }
}

void RemoveAdvanced(const FirewallAction& action, const std::vector<FirewallRemoveRecord>& records) {
    for (const auto& record : records) {
        if (!action.Attempt(L"WindowsFirewallDelteAppAS failed. Unable to delete exception from firewall to " +
                                record.path,
                            [&] { WindowsFirewallDelteAppAS(record.name); }))
            return;
    }
}

template <typename Record>
using RecordWork = void (*)(const FirewallAction&, const std::vector<Record>&);

// Reads and checks the work list, then hands its records to the interface of
// this Windows version; the version failure is reported only when adding.
template <typename Record>
void RunFirewallAction(FirewallAction action, size_t recordItems,
                       std::vector<Record> (*records)(const std::vector<std::wstring>&), RecordWork<Record> basic,
                       RecordWork<Record> advanced) {
    const auto items = action.ReadItems(recordItems);
    if (items.empty()) return;
    WithFirewall(action, [&](bool useAdvanced) {
        (useAdvanced ? advanced : basic)(action, records(items));
    });
}

}  // namespace

void FirewallAddApplicationImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    result = ERROR_SUCCESS;
    RunFirewallAction(FirewallAction(hInstall, true), kAddRecordItems, AddRecords, AddBasic, AddAdvanced);
}

void FirewallRemoveApplicationImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    result = ERROR_SUCCESS;
    RunFirewallAction(FirewallAction(hInstall, false), kRemoveRecordItems, RemoveRecords, RemoveBasic,
                      RemoveAdvanced);
}

}  // namespace ondex::system
