// The doubles are written against the C form of the COM interfaces: every
// vtable slot starts as a stub that counts an unexpected call, and only the
// methods the product calls are filled in.
#define CINTERFACE
#include "system/firewall_doubles.h"

// The firewall GUIDs are defined here: no import library carries them.
#include <initguid.h>
#include <netfw.h>

#include <algorithm>
#include <map>

namespace ondex::test {

namespace {
int g_unexpected = 0;
}

struct FirewallDouble::World {
    FirewallDouble& state;
    std::map<std::string, std::pair<HRESULT, int>> failures;
    std::map<std::string, int> calls;
    std::vector<std::shared_ptr<void>> objects;
    std::vector<const LONG*> references;
    std::vector<DWORD> cookies;

    // Counts the call; the scripted failure, or S_OK.
    HRESULT Hit(const std::string& call) {
        ++calls[call];
        auto failure = failures.find(call);
        if (failure == failures.end() || failure->second.second == 0) return S_OK;
        --failure->second.second;
        return failure->second.first;
    }
};

namespace {

using World = FirewallDouble::World;

// Every double object begins with this header; the interface pointer is its address.
struct Header {
    const void* vtable;
    World* world;
    LONG references;
    const IID* iid;
};

template <typename State>
struct Object {
    Header header;
    State state;
};

template <typename State>
State& StateOf(const void* self) {
    return reinterpret_cast<Object<State>*>(const_cast<void*>(self))->state;
}
World& WorldOf(const void* self) { return *static_cast<const Header*>(self)->world; }

std::wstring Text(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

template <typename I>
struct Common {
    static HRESULT STDMETHODCALLTYPE QueryInterface(I* self, REFIID iid, void** out) {
        auto* header = reinterpret_cast<Header*>(self);
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, *header->iid)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = self;
        ++header->references;
        return S_OK;
    }
    static ULONG STDMETHODCALLTYPE AddRef(I* self) { return ++reinterpret_cast<Header*>(self)->references; }
    static ULONG STDMETHODCALLTYPE Release(I* self) { return --reinterpret_cast<Header*>(self)->references; }
};

using Slot = HRESULT(STDMETHODCALLTYPE*)();
HRESULT STDMETHODCALLTYPE Unexpected() {
    ++g_unexpected;
    return E_NOTIMPL;
}

template <typename I, typename Vtbl>
Vtbl StubTable() {
    Vtbl table;
    auto* slots = reinterpret_cast<Slot*>(&table);
    for (size_t i = 0; i < sizeof table / sizeof(Slot); ++i) slots[i] = Unexpected;
    table.QueryInterface = Common<I>::QueryInterface;
    table.AddRef = Common<I>::AddRef;
    table.Release = Common<I>::Release;
    return table;
}

// A new object with no references yet; hand it out through Give.
template <typename I, typename State>
I* Make(World& world, const void* vtable, const IID& iid, State state) {
    auto object = std::make_shared<Object<State>>(Object<State>{{vtable, &world, 0, &iid}, std::move(state)});
    world.objects.push_back(object);
    world.references.push_back(&object->header.references);
    return reinterpret_cast<I*>(object.get());
}
template <typename I>
HRESULT Give(I* object, I** out) {
    ++reinterpret_cast<Header*>(object)->references;
    *out = object;
    return S_OK;
}

struct Nothing {};

// A put_ method: counts the call and, unless it is to fail, stores the value.
template <typename State, typename Field, typename Value>
HRESULT Put(void* self, const char* call, Field State::*field, Value value) {
    HRESULT hr = WorldOf(self).Hit(call);
    if (SUCCEEDED(hr)) StateOf<State>(self).*field = std::move(value);
    return hr;
}

// A get_ method that hands out a new object without state of its own.
template <typename Child>
HRESULT GetChild(void* self, const char* call, const void* vtable, const IID& iid, Child** out) {
    World& world = WorldOf(self);
    *out = nullptr;
    if (HRESULT hr = world.Hit(call); FAILED(hr)) return hr;
    return Give(Make<Child>(world, vtable, iid, Nothing{}), out);
}

template <typename State>
HRESULT Enabled(void* self, const char* call, VARIANT_BOOL* enabled) {
    HRESULT hr = WorldOf(self).Hit(call);
    if (SUCCEEDED(hr)) *enabled = StateOf<State>(self).enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

// ---- Applications ----

const INetFwAuthorizedApplicationVtbl* ApplicationTable() {
    using I = INetFwAuthorizedApplication;
    static const auto table = [] {
        auto t = StubTable<I, INetFwAuthorizedApplicationVtbl>();
        t.put_ProcessImageFileName = [](I* self, BSTR path) {
            return Put(self, "INetFwAuthorizedApplication::put_ProcessImageFileName", &FirewallApplication::path,
                       Text(path));
        };
        t.put_Name = [](I* self, BSTR name) {
            return Put(self, "INetFwAuthorizedApplication::put_Name", &FirewallApplication::name, Text(name));
        };
        t.get_Enabled = [](I* self, VARIANT_BOOL* enabled) {
            return Enabled<FirewallApplication>(self, "INetFwAuthorizedApplication::get_Enabled", enabled);
        };
        return t;
    }();
    return &table;
}


INetFwAuthorizedApplication* NewApplication(World& world, FirewallApplication state) {
    return Make<INetFwAuthorizedApplication>(world, ApplicationTable(), IID_INetFwAuthorizedApplication,
                                             std::move(state));
}

const INetFwAuthorizedApplicationsVtbl* ApplicationsTable() {
    using I = INetFwAuthorizedApplications;
    static const auto table = [] {
        auto t = StubTable<I, INetFwAuthorizedApplicationsVtbl>();
        t.Item = [](I* self, BSTR path, INetFwAuthorizedApplication** out) -> HRESULT {
            World& world = WorldOf(self);
            *out = nullptr;
            if (HRESULT hr = world.Hit("INetFwAuthorizedApplications::Item"); FAILED(hr)) return hr;
            for (const auto& application : world.state.applications)
                if (application.path == Text(path)) return Give(NewApplication(world, application), out);
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        };
        t.Add = [](I* self, INetFwAuthorizedApplication* added) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwAuthorizedApplications::Add"); FAILED(hr)) return hr;
            const auto& application = StateOf<FirewallApplication>(added);
            std::erase_if(world.state.applications, [&](const auto& a) { return a.path == application.path; });
            world.state.applications.push_back(application);
            return S_OK;
        };
        t.Remove = [](I* self, BSTR path) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwAuthorizedApplications::Remove"); FAILED(hr)) return hr;
            std::erase_if(world.state.applications, [&](const auto& a) { return a.path == Text(path); });
            return S_OK;
        };
        return t;
    }();
    return &table;
}

// ---- Open ports ----

const INetFwOpenPortVtbl* PortTable() {
    using I = INetFwOpenPort;
    static const auto table = [] {
        auto t = StubTable<I, INetFwOpenPortVtbl>();
        t.put_Port = [](I* self, LONG port) {
            return Put(self, "INetFwOpenPort::put_Port", &FirewallOpenPort::port, long{port});
        };
        t.put_Protocol = [](I* self, NET_FW_IP_PROTOCOL protocol) {
            return Put(self, "INetFwOpenPort::put_Protocol", &FirewallOpenPort::protocol, long{protocol});
        };
        t.put_Name = [](I* self, BSTR name) {
            return Put(self, "INetFwOpenPort::put_Name", &FirewallOpenPort::name, Text(name));
        };
        t.get_Enabled = [](I* self, VARIANT_BOOL* enabled) {
            return Enabled<FirewallOpenPort>(self, "INetFwOpenPort::get_Enabled", enabled);
        };
        return t;
    }();
    return &table;
}

INetFwOpenPort* NewPort(World& world, FirewallOpenPort state) {
    return Make<INetFwOpenPort>(world, PortTable(), IID_INetFwOpenPort, std::move(state));
}

bool SamePort(const FirewallOpenPort& port, LONG number, NET_FW_IP_PROTOCOL protocol) {
    return port.port == number && port.protocol == protocol;
}

const INetFwOpenPortsVtbl* PortsTable() {
    using I = INetFwOpenPorts;
    static const auto table = [] {
        auto t = StubTable<I, INetFwOpenPortsVtbl>();
        t.Item = [](I* self, LONG port, NET_FW_IP_PROTOCOL protocol, INetFwOpenPort** out) -> HRESULT {
            World& world = WorldOf(self);
            *out = nullptr;
            if (HRESULT hr = world.Hit("INetFwOpenPorts::Item"); FAILED(hr)) return hr;
            for (const auto& open : world.state.ports)
                if (SamePort(open, port, protocol)) return Give(NewPort(world, open), out);
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        };
        t.Add = [](I* self, INetFwOpenPort* added) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwOpenPorts::Add"); FAILED(hr)) return hr;
            const auto& port = StateOf<FirewallOpenPort>(added);
            std::erase_if(world.state.ports, [&](const auto& p) {
                return SamePort(p, port.port, static_cast<NET_FW_IP_PROTOCOL>(port.protocol));
            });
            world.state.ports.push_back(port);
            return S_OK;
        };
        t.Remove = [](I* self, LONG port, NET_FW_IP_PROTOCOL protocol) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwOpenPorts::Remove"); FAILED(hr)) return hr;
            std::erase_if(world.state.ports, [&](const auto& p) { return SamePort(p, port, protocol); });
            return S_OK;
        };
        return t;
    }();
    return &table;
}

// ---- Manager, policy and current profile ----

const INetFwProfileVtbl* ProfileTable() {
    using I = INetFwProfile;
    static const auto table = [] {
        auto t = StubTable<I, INetFwProfileVtbl>();
        t.get_AuthorizedApplications = [](I* self, INetFwAuthorizedApplications** out) {
            return GetChild(self, "INetFwProfile::get_AuthorizedApplications", ApplicationsTable(), IID_INetFwAuthorizedApplications, out);
        };
        t.get_GloballyOpenPorts = [](I* self, INetFwOpenPorts** out) {
            return GetChild(self, "INetFwProfile::get_GloballyOpenPorts", PortsTable(), IID_INetFwOpenPorts, out);
        };
        return t;
    }();
    return &table;
}

const INetFwPolicyVtbl* PolicyTable() {
    using I = INetFwPolicy;
    static const auto table = [] {
        auto t = StubTable<I, INetFwPolicyVtbl>();
        t.get_CurrentProfile = [](I* self, INetFwProfile** out) {
            return GetChild(self, "INetFwPolicy::get_CurrentProfile", ProfileTable(), IID_INetFwProfile, out);
        };
        return t;
    }();
    return &table;
}

const INetFwMgrVtbl* ManagerTable() {
    using I = INetFwMgr;
    static const auto table = [] {
        auto t = StubTable<I, INetFwMgrVtbl>();
        t.get_LocalPolicy = [](I* self, INetFwPolicy** out) {
            return GetChild(self, "INetFwMgr::get_LocalPolicy", PolicyTable(), IID_INetFwPolicy, out);
        };
        return t;
    }();
    return &table;
}

// ---- Rules ----

const INetFwRuleVtbl* RuleTable() {
    using I = INetFwRule;
    static const auto table = [] {
        auto t = StubTable<I, INetFwRuleVtbl>();
        t.put_Name = [](I* self, BSTR v) { return Put(self, "INetFwRule::put_Name", &FirewallRule::name, Text(v)); };
        t.put_Description = [](I* self, BSTR v) {
            return Put(self, "INetFwRule::put_Description", &FirewallRule::description, Text(v));
        };
        t.put_Grouping = [](I* self, BSTR v) {
            return Put(self, "INetFwRule::put_Grouping", &FirewallRule::grouping, Text(v));
        };
        t.put_ApplicationName = [](I* self, BSTR v) {
            return Put(self, "INetFwRule::put_ApplicationName", &FirewallRule::application, Text(v));
        };
        t.put_LocalPorts = [](I* self, BSTR v) {
            return Put(self, "INetFwRule::put_LocalPorts", &FirewallRule::localPorts, Text(v));
        };
        t.put_Protocol = [](I* self, LONG v) {
            return Put(self, "INetFwRule::put_Protocol", &FirewallRule::protocol, long{v});
        };
        t.put_Profiles = [](I* self, LONG v) {
            return Put(self, "INetFwRule::put_Profiles", &FirewallRule::profiles, long{v});
        };
        t.put_Action = [](I* self, NET_FW_ACTION v) {
            return Put(self, "INetFwRule::put_Action", &FirewallRule::action, long{v});
        };
        t.put_Enabled = [](I* self, VARIANT_BOOL v) {
            return Put(self, "INetFwRule::put_Enabled", &FirewallRule::enabled, v != VARIANT_FALSE);
        };
        return t;
    }();
    return &table;
}

const INetFwRulesVtbl* RulesTable() {
    using I = INetFwRules;
    static const auto table = [] {
        auto t = StubTable<I, INetFwRulesVtbl>();
        t.Add = [](I* self, INetFwRule* rule) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwRules::Add"); FAILED(hr)) return hr;
            world.state.rules.push_back(StateOf<FirewallRule>(rule));
            return S_OK;
        };
        // Removes the first rule of that name; an unknown name is no error.
        t.Remove = [](I* self, BSTR name) -> HRESULT {
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit("INetFwRules::Remove"); FAILED(hr)) return hr;
            auto& rules = world.state.rules;
            auto found = std::find_if(rules.begin(), rules.end(), [&](const auto& r) { return r.name == Text(name); });
            if (found != rules.end()) rules.erase(found);
            return S_OK;
        };
        return t;
    }();
    return &table;
}

const INetFwPolicy2Vtbl* Policy2Table() {
    using I = INetFwPolicy2;
    static const auto table = [] {
        auto t = StubTable<I, INetFwPolicy2Vtbl>();
        t.get_Rules = [](I* self, INetFwRules** out) {
            return GetChild(self, "INetFwPolicy2::get_Rules", RulesTable(), IID_INetFwRules, out);
        };
        return t;
    }();
    return &table;
}

// ---- Class objects ----

using Creator = IUnknown* (*)(World&);

struct Class {
    const char* call;
    Creator create;
};

const IClassFactoryVtbl* FactoryTable() {
    using I = IClassFactory;
    static const auto table = [] {
        auto t = StubTable<I, IClassFactoryVtbl>();
        t.CreateInstance = [](I* self, IUnknown* outer, REFIID iid, void** out) -> HRESULT {
            *out = nullptr;
            const Class& made = StateOf<Class>(self);
            World& world = WorldOf(self);
            if (HRESULT hr = world.Hit(made.call); FAILED(hr)) return hr;
            IUnknown* object = made.create(world);
            return object->lpVtbl->QueryInterface(object, iid, out);
        };
        t.LockServer = [](I*, BOOL) -> HRESULT { return S_OK; };
        return t;
    }();
    return &table;
}

template <typename I>
IUnknown* Unknown(I* object) {
    return reinterpret_cast<IUnknown*>(object);
}

}  // namespace

FirewallDouble::FirewallDouble() : world_(new World{*this}) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_unexpected = 0;
    const std::pair<const CLSID*, Class> classes[] = {
        {&CLSID_NetFwMgr,
         {"CoCreateInstance NetFwMgr",
          [](World& w) { return Unknown(Make<INetFwMgr>(w, ManagerTable(), IID_INetFwMgr, Nothing{})); }}},
        {&CLSID_NetFwAuthorizedApplication,
         {"CoCreateInstance NetFwAuthorizedApplication",
          [](World& w) { return Unknown(NewApplication(w, FirewallApplication{})); }}},
        {&CLSID_NetFwOpenPort,
         {"CoCreateInstance NetFwOpenPort", [](World& w) { return Unknown(NewPort(w, FirewallOpenPort{})); }}},
        {&CLSID_NetFwPolicy2,
         {"CoCreateInstance NetFwPolicy2",
          [](World& w) { return Unknown(Make<INetFwPolicy2>(w, Policy2Table(), IID_INetFwPolicy2, Nothing{})); }}},
        {&CLSID_NetFwRule,
         {"CoCreateInstance NetFwRule",
          [](World& w) { return Unknown(Make<INetFwRule>(w, RuleTable(), IID_INetFwRule, FirewallRule{})); }}},
    };
    for (const auto& [clsid, made] : classes) {
        auto object = std::make_shared<Object<Class>>(Object<Class>{{FactoryTable(), world_.get(), 1, &IID_IClassFactory}, made});
        world_->objects.push_back(object);
        DWORD cookie = 0;
        if (SUCCEEDED(CoRegisterClassObject(*clsid, reinterpret_cast<IUnknown*>(object.get()), CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie)))
            world_->cookies.push_back(cookie);
    }
}

FirewallDouble::~FirewallDouble() {
    for (DWORD cookie : world_->cookies) CoRevokeClassObject(cookie);
    world_.reset();
    CoUninitialize();
}

void FirewallDouble::Fail(const std::string& call, HRESULT hr, int times) { world_->failures[call] = {hr, times}; }

int FirewallDouble::Calls(const std::string& call) const {
    auto found = world_->calls.find(call);
    return found == world_->calls.end() ? 0 : found->second;
}

long FirewallDouble::References() const {
    long held = 0;
    for (const LONG* references : world_->references) held += *references;
    return held;
}

int FirewallDouble::UnexpectedCalls() const { return g_unexpected; }

}  // namespace ondex::test
