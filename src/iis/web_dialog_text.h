#pragma once
// The web-site dialog's decisions on plain values: the port texts typed by
// the user and the properties the dialog's choice turns into. Pure logic.
#include <cstdint>
#include <string>
#include <string_view>

namespace ondex::iis {

// The decimal form of a digit string's value: leading zeros dropped, "0" for
// nothing but zeros. Never overflows, however long the text.
std::wstring DecimalForm(std::wstring_view digits);

// The IIS-side port check's verdict on "EDIT_TCPPORT" before any site is
// looked at: "E_TCPPORTVALUE_NOTNUMERIC", "E_TCPPORTVALUE_EMPTY" or
// "E_TCPPORTVALUE_TOOLONG"; empty when the port goes on to the site check,
// with `rewritten` its decimal form.
std::wstring WebPortVerdict(std::wstring_view port, std::wstring& rewritten);

// The local port check's verdict on "CheckLocalTCPPORT" before the TCP table
// is asked: "ERR_EMPTY", "ERR_LETTERS" or "ERR_OUTOFRANGE" (outside 1-65535);
// empty when `port` holds the number to look up. `rewritten` is the decimal
// form whenever the text was all digits.
std::wstring LocalPortVerdict(std::wstring_view text, std::wstring& rewritten, std::uint16_t& port);

// Whether the port is one of the 20 system ports that draw a warning.
bool IsSystemPort(std::uint16_t port);

// The local port's state in the TCP table and the verdict it gives.
enum class PortUse { Free, InUse, Undetermined };
const wchar_t* LocalPortUseVerdict(PortUse use, std::uint16_t port);

// `name = "value"`, as the dialog's traces show a property.
std::wstring QuotedProperty(const wchar_t* name, const std::wstring& value);

// The dialog's controls and the site properties they start from.
struct WebDialogChoice {
    std::wstring name, host, ip;  // current "WEBSITENAME", "HOSTHEADER", "IPADDRESS"
    std::wstring radioWebsite, existingName, newName, radioNewType, editHost, editPort, editIp;
};

// What the choice stores: "WebCheckStat" and, for "S_OK", the four site
// properties; `invalid` names the radio property whose value matched no case.
struct WebDialogResult {
    std::wstring status = L"E_UNKNOWN";
    std::wstring name, host, ip, port;
    std::wstring invalidProperty, invalidValue;
};

WebDialogResult DecideWebDialog(const WebDialogChoice& choice);

}  // namespace ondex::iis
