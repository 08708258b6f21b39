// The doubles are written against the C form of the COM interfaces: every
// vtable slot starts as a stub that counts an unexpected call, and only the
// methods the product calls are filled in.
#define CINTERFACE
#include "system/firewall_doubles.h"

#include "support/com_faults.h"

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
        if (ComMethodFails(call.c_str())) return E_ACCESSDENIED;
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
Header& HeaderOf(const void* self) { return *static_cast<Header*>(const_cast<void*>(self)); }
World& WorldOf(const void* self) { return *HeaderOf(self).world; }

std::wstring Text(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

HRESULT STDMETHODCALLTYPE Unexpected() {
    ++g_unexpected;
    return E_NOTIMPL;
}

// A table whose slots all count as unexpected, but for IUnknown's three.
template <typename Vtbl>
Vtbl StubTable() {
    using Slot = HRESULT(STDMETHODCALLTYPE*)();
    Vtbl table;
    auto* slots = reinterpret_cast<Slot*>(&table);
    for (size_t i = 0; i < sizeof table / sizeof(Slot); ++i) slots[i] = Unexpected;
    table.QueryInterface = [](auto* self, REFIID iid, void** out) -> HRESULT {
        Header& header = HeaderOf(self);
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, *header.iid))
            return E_NOINTERFACE;
        *out = self;
        ++header.references;
        return S_OK;
    };
    table.AddRef = [](auto* self) -> ULONG { return ++HeaderOf(self).references; };
    table.Release = [](auto* self) -> ULONG { return --HeaderOf(self).references; };
    return table;
}

// A new object with no references yet; hand it out through Give.
template <typename State>
IUnknown* Make(World& world, const void* vtable, const IID& iid, State state) {
    auto object = std::make_shared<Object<State>>(Object<State>{{vtable, &world, 0, &iid}, std::move(state)});
    world.objects.push_back(object);
    world.references.push_back(&object->header.references);
    return reinterpret_cast<IUnknown*>(object.get());
}
template <typename I>
HRESULT Give(IUnknown* object, I** out) {
    ++HeaderOf(object).references;
    *out = reinterpret_cast<I*>(object);
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
    return Give(Make(world, vtable, iid, Nothing{}), out);
}

#define HIT(call) \
    if (HRESULT hr = world.Hit(call); FAILED(hr)) return hr
#define PUT(I, Method, field, value) \
    t.Method = [](I* self, auto v) { return Put(self, #I "::" #Method, &field, value); }
#define ENABLED(I, State)                                                                      \
    t.get_Enabled = [](I* self, VARIANT_BOOL* enabled) {                                       \
        HRESULT hr = WorldOf(self).Hit(#I "::get_Enabled");                                    \
        if (SUCCEEDED(hr)) *enabled = StateOf<State>(self).enabled ? VARIANT_TRUE : VARIANT_FALSE; \
        return hr;                                                                             \
    }
#define CHILD(I, Method, Table, Child) \
    t.Method = [](I* self, Child** out) { return GetChild(self, #I "::" #Method, Table(), IID_##Child, out); }
#define TABLE(Name, I, ...)                        \
    const I##Vtbl* Name() {                        \
        static const auto table = [] {             \
            auto t = StubTable<I##Vtbl>();         \
            __VA_ARGS__;                           \
            return t;                              \
        }();                                       \
        return &table;                             \
    }

// ---- Applications and open ports: collections keyed by path, or by port and protocol ----

TABLE(ApplicationTable, INetFwAuthorizedApplication,
      PUT(INetFwAuthorizedApplication, put_ProcessImageFileName, FirewallApplication::path, Text(v));
      PUT(INetFwAuthorizedApplication, put_Name, FirewallApplication::name, Text(v));
      ENABLED(INetFwAuthorizedApplication, FirewallApplication))

TABLE(PortTable, INetFwOpenPort,
      PUT(INetFwOpenPort, put_Port, FirewallOpenPort::port, long{v});
      PUT(INetFwOpenPort, put_Protocol, FirewallOpenPort::protocol, long{v});
      PUT(INetFwOpenPort, put_Name, FirewallOpenPort::name, Text(v));
      ENABLED(INetFwOpenPort, FirewallOpenPort))

IUnknown* NewApplication(World& world, FirewallApplication state) {
    return Make(world, ApplicationTable(), IID_INetFwAuthorizedApplication, std::move(state));
}
IUnknown* NewPort(World& world, FirewallOpenPort state) {
    return Make(world, PortTable(), IID_INetFwOpenPort, std::move(state));
}

bool Same(const FirewallApplication& a, const FirewallApplication& b) { return a.path == b.path; }
bool Same(const FirewallOpenPort& a, const FirewallOpenPort& b) {
    return a.port == b.port && a.protocol == b.protocol;
}
std::vector<FirewallApplication>& ListOf(World& w, FirewallApplication*) { return w.state.applications; }
std::vector<FirewallOpenPort>& ListOf(World& w, FirewallOpenPort*) { return w.state.ports; }

// Item, Add and Remove of a collection: `key` is a state holding only the key fields.
template <typename State, typename Out>
HRESULT Item(void* self, const char* call, const State& key, Out** out, IUnknown* (*make)(World&, State)) {
    World& world = WorldOf(self);
    *out = nullptr;
    HIT(call);
    for (const State& entry : ListOf(world, static_cast<State*>(nullptr)))
        if (Same(entry, key)) return Give(make(world, entry), out);
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
template <typename State>
HRESULT Remove(void* self, const char* call, const State& key, const State* added = nullptr) {
    World& world = WorldOf(self);
    HIT(call);
    auto& list = ListOf(world, static_cast<State*>(nullptr));
    std::erase_if(list, [&](const State& entry) { return Same(entry, key); });
    if (added) list.push_back(*added);
    return S_OK;
}

TABLE(ApplicationsTable, INetFwAuthorizedApplications,
      t.Item = [](INetFwAuthorizedApplications* self, BSTR path, INetFwAuthorizedApplication** out) {
          return Item(self, "INetFwAuthorizedApplications::Item", FirewallApplication{Text(path)}, out, NewApplication);
      };
      t.Add = [](INetFwAuthorizedApplications* self, INetFwAuthorizedApplication* added) {
          const auto& application = StateOf<FirewallApplication>(added);
          return Remove(self, "INetFwAuthorizedApplications::Add", application, &application);
      };
      t.Remove = [](INetFwAuthorizedApplications* self, BSTR path) {
          return Remove(self, "INetFwAuthorizedApplications::Remove", FirewallApplication{Text(path)});
      })

TABLE(PortsTable, INetFwOpenPorts,
      t.Item = [](INetFwOpenPorts* self, LONG port, NET_FW_IP_PROTOCOL protocol, INetFwOpenPort** out) {
          return Item(self, "INetFwOpenPorts::Item", FirewallOpenPort{port, protocol}, out, NewPort);
      };
      t.Add = [](INetFwOpenPorts* self, INetFwOpenPort* added) {
          const auto& port = StateOf<FirewallOpenPort>(added);
          return Remove(self, "INetFwOpenPorts::Add", port, &port);
      };
      t.Remove = [](INetFwOpenPorts* self, LONG port, NET_FW_IP_PROTOCOL protocol) {
          return Remove(self, "INetFwOpenPorts::Remove", FirewallOpenPort{port, protocol});
      })

// ---- Manager, policy and current profile ----

TABLE(ProfileTable, INetFwProfile,
      CHILD(INetFwProfile, get_AuthorizedApplications, ApplicationsTable, INetFwAuthorizedApplications);
      CHILD(INetFwProfile, get_GloballyOpenPorts, PortsTable, INetFwOpenPorts))
TABLE(PolicyTable, INetFwPolicy, CHILD(INetFwPolicy, get_CurrentProfile, ProfileTable, INetFwProfile))
TABLE(ManagerTable, INetFwMgr, CHILD(INetFwMgr, get_LocalPolicy, PolicyTable, INetFwPolicy))

// ---- Rules ----

TABLE(RuleTable, INetFwRule,
      PUT(INetFwRule, put_Name, FirewallRule::name, Text(v));
      PUT(INetFwRule, put_Description, FirewallRule::description, Text(v));
      PUT(INetFwRule, put_Grouping, FirewallRule::grouping, Text(v));
      PUT(INetFwRule, put_ApplicationName, FirewallRule::application, Text(v));
      PUT(INetFwRule, put_LocalPorts, FirewallRule::localPorts, Text(v));
      PUT(INetFwRule, put_Protocol, FirewallRule::protocol, long{v});
      PUT(INetFwRule, put_Profiles, FirewallRule::profiles, long{v});
      PUT(INetFwRule, put_Action, FirewallRule::action, long{v});
      PUT(INetFwRule, put_Enabled, FirewallRule::enabled, v != VARIANT_FALSE))

// A rule of the list as the rules' enumerator hands it out: its index, valid
// while the list keeps its order.
struct StoredRule {
    size_t index;
};
FirewallRule& RuleOf(void* self) { return WorldOf(self).state.rules.at(StateOf<StoredRule>(self).index); }

HRESULT GetText(void* self, const char* call, const std::optional<std::wstring>& value, BSTR* out) {
    *out = nullptr;
    HRESULT hr = WorldOf(self).Hit(call);
    if (SUCCEEDED(hr) && value) *out = SysAllocStringLen(value->data(), static_cast<UINT>(value->size()));
    return hr;
}

TABLE(StoredRuleTable, INetFwRule,
      t.get_Name = [](INetFwRule* self, BSTR* out) {
          return GetText(self, "INetFwRule::get_Name", RuleOf(self).name, out);
      };
      t.get_ApplicationName = [](INetFwRule* self, BSTR* out) {
          return GetText(self, "INetFwRule::get_ApplicationName", RuleOf(self).application, out);
      };
      t.put_Name = [](INetFwRule* self, BSTR name) -> HRESULT {
          HRESULT hr = WorldOf(self).Hit("INetFwRule::put_Name");
          if (SUCCEEDED(hr)) RuleOf(self).name = Text(name);
          return hr;
      };
      t.put_Enabled = [](INetFwRule* self, VARIANT_BOOL enabled) -> HRESULT {
          HRESULT hr = WorldOf(self).Hit("INetFwRule::put_Enabled");
          if (SUCCEEDED(hr)) RuleOf(self).enabled = enabled != VARIANT_FALSE;
          return hr;
      })

struct Cursor {
    size_t next = 0;
};

TABLE(RuleCursorTable, IEnumVARIANT,
      t.Next = [](IEnumVARIANT* self, ULONG count, VARIANT* items, ULONG* fetched) -> HRESULT {
          World& world = WorldOf(self);
          HIT("IEnumVARIANT::Next");
          size_t& next = StateOf<Cursor>(self).next;
          ULONG given = 0;
          for (; given < count && next < world.state.rules.size(); ++given, ++next) {
              V_VT(&items[given]) = VT_DISPATCH;
              Give(Make(world, StoredRuleTable(), IID_INetFwRule, StoredRule{next}), &V_DISPATCH(&items[given]));
          }
          if (fetched) *fetched = given;
          return given == count ? S_OK : S_FALSE;
      })

TABLE(RulesTable, INetFwRules,
      t.get__NewEnum = [](INetFwRules* self, IUnknown** out) -> HRESULT {
          World& world = WorldOf(self);
          *out = nullptr;
          HIT("INetFwRules::get__NewEnum");
          return Give(Make(world, RuleCursorTable(), IID_IEnumVARIANT, Cursor{}), out);
      };
      t.Add = [](INetFwRules* self, INetFwRule* rule) -> HRESULT {
          World& world = WorldOf(self);
          HIT("INetFwRules::Add");
          world.state.rules.push_back(StateOf<FirewallRule>(rule));
          return S_OK;
      };
      // Removes the first rule of that name; an unknown name is no error.
      t.Remove = [](INetFwRules* self, BSTR name) -> HRESULT {
          World& world = WorldOf(self);
          HIT("INetFwRules::Remove");
          auto& rules = world.state.rules;
          auto found = std::find_if(rules.begin(), rules.end(), [&](const auto& r) { return r.name == Text(name); });
          if (found != rules.end()) rules.erase(found);
          return S_OK;
      })

TABLE(Policy2Table, INetFwPolicy2, CHILD(INetFwPolicy2, get_Rules, RulesTable, INetFwRules))

// ---- Class objects ----

struct Class {
    const char* call;
    IUnknown* (*create)(World&);
};

TABLE(FactoryTable, IClassFactory,
      t.CreateInstance = [](IClassFactory* self, IUnknown*, REFIID iid, void** out) -> HRESULT {
          *out = nullptr;
          const Class& made = StateOf<Class>(self);
          World& world = WorldOf(self);
          HIT(made.call);
          IUnknown* object = made.create(world);
          return object->lpVtbl->QueryInterface(object, iid, out);
      };
      t.LockServer = [](IClassFactory*, BOOL) -> HRESULT { return S_OK; })

}  // namespace

FirewallDouble::FirewallDouble() : world_(new World{*this}) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_unexpected = 0;
    const std::pair<const CLSID*, Class> classes[] = {
        {&CLSID_NetFwMgr,
         {"CoCreateInstance NetFwMgr", [](World& w) { return Make(w, ManagerTable(), IID_INetFwMgr, Nothing{}); }}},
        {&CLSID_NetFwAuthorizedApplication,
         {"CoCreateInstance NetFwAuthorizedApplication", [](World& w) { return NewApplication(w, {}); }}},
        {&CLSID_NetFwOpenPort, {"CoCreateInstance NetFwOpenPort", [](World& w) { return NewPort(w, {}); }}},
        {&CLSID_NetFwPolicy2,
         {"CoCreateInstance NetFwPolicy2",
          [](World& w) { return Make(w, Policy2Table(), IID_INetFwPolicy2, Nothing{}); }}},
        {&CLSID_NetFwRule,
         {"CoCreateInstance NetFwRule", [](World& w) { return Make(w, RuleTable(), IID_INetFwRule, FirewallRule{}); }}},
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
