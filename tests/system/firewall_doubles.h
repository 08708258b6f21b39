#pragma once
// The Windows Firewall's COM classes as in-process doubles: NetFwMgr with its
// policy, current profile, authorized applications and open ports,
// NetFwAuthorizedApplication, NetFwOpenPort, NetFwPolicy2 with its rules and
// NetFwRule, and the rules' enumerator. They hold the firewall's state in plain lists a test arranges and
// inspects, count the calls and fail the calls a test names.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ondex::test {

struct FirewallApplication {
    std::wstring path, name;
    bool enabled = true;
};

struct FirewallOpenPort {
    long port = 0, protocol = 0;
    std::wstring name;
    bool enabled = true;
};

// A rule as the product set it; a property it never set stays empty.
struct FirewallRule {
    std::optional<std::wstring> name, description, grouping, application, localPorts;
    std::optional<long> protocol, profiles, action;
    std::optional<bool> enabled;
    bool operator==(const FirewallRule&) const = default;
};

// Initialises COM on the test thread and registers the classes for its life.
class FirewallDouble {
public:
    FirewallDouble();
    ~FirewallDouble();
    FirewallDouble(const FirewallDouble&) = delete;
    FirewallDouble& operator=(const FirewallDouble&) = delete;

    std::vector<FirewallApplication> applications;
    std::vector<FirewallOpenPort> ports;
    std::vector<FirewallRule> rules;

    // The next `times` calls named `call` fail with `hr`. Names are
    // "Interface::method", and "CoCreateInstance Class" for the creation.
    void Fail(const std::string& call, HRESULT hr, int times = 1);
    int Calls(const std::string& call) const;
    // References to the doubles' objects still held, and calls of methods
    // the doubles do not implement.
    long References() const;
    int UnexpectedCalls() const;

    struct World;

private:
    std::unique_ptr<World> world_;
};

}  // namespace ondex::test
