#include "iis/web_dialog_text.h"

#include <algorithm>

namespace ondex::iis {

namespace {

bool AllDigits(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

constexpr std::uint16_t kSystemPorts[] = {135, 139, 1723, 42, 137, 143, 993, 389, 636, 102,
                                          110, 995, 25,   119, 563, 3389, 80, 1494, 445, 88};

}  // namespace

std::wstring DecimalForm(std::wstring_view digits) {
    const size_t first = digits.find_first_not_of(L'0');
    return first == std::wstring_view::npos ? L"0" : std::wstring(digits.substr(first));
}

std::wstring WebPortVerdict(std::wstring_view port, std::wstring& rewritten) {
    if (!AllDigits(port)) return L"E_TCPPORTVALUE_NOTNUMERIC";
    if (port.empty()) return L"E_TCPPORTVALUE_EMPTY";
    rewritten = DecimalForm(port);
    if (rewritten.size() >= 6) return L"E_TCPPORTVALUE_TOOLONG";
    return {};
}

std::wstring LocalPortVerdict(std::wstring_view text, std::wstring& rewritten, std::uint16_t& port) {
    if (text.empty()) return L"ERR_EMPTY";
    if (!AllDigits(text)) return L"ERR_LETTERS";
    rewritten = DecimalForm(text);
    if (rewritten.size() > 5) return L"ERR_OUTOFRANGE";
    unsigned value = 0;
    for (wchar_t c : rewritten) value = value * 10 + static_cast<unsigned>(c - L'0');
    if (value < 1 || value > 65535) return L"ERR_OUTOFRANGE";
    port = static_cast<std::uint16_t>(value);
    return {};
}

bool IsSystemPort(std::uint16_t port) {
    return std::find(std::begin(kSystemPorts), std::end(kSystemPorts), port) != std::end(kSystemPorts);
}

const wchar_t* LocalPortUseVerdict(PortUse use, std::uint16_t port) {
    switch (use) {
    case PortUse::InUse: return L"ERR_NOTAVAIL";
    case PortUse::Undetermined: return L"ERR_UNKNOWN";
    default: return IsSystemPort(port) ? L"WARN_SYSTEM" : L"OK";
    }
}

std::wstring QuotedProperty(const wchar_t* name, const std::wstring& value) {
    return std::wstring(name) + L" = \"" + value + L"\"";
}

WebDialogResult DecideWebDialog(const WebDialogChoice& choice) {
    WebDialogResult result;
    result.name = choice.name;
    result.host = choice.host;
    result.ip = choice.ip;
    result.port = choice.editPort;
    if (choice.radioWebsite == L"1") {
        result.name = choice.existingName;
        result.host = L"localhost";
        result.ip.clear();
        result.status = L"S_OK";
    } else if (choice.radioWebsite == L"2") {
        result.name = choice.newName;
        if (choice.radioNewType == L"1") {
            result.host = choice.editHost;
            result.ip.clear();
        } else if (choice.radioNewType == L"2") {
            result.ip.clear();
        } else if (choice.radioNewType == L"3") {
            result.host = L"localhost";
            result.ip = choice.editIp;
        } else {
            result.invalidProperty = L"RADIO_NEWWEBSITETYPE";
            result.invalidValue = choice.radioNewType;
            return result;
        }
        result.status = L"S_OK";
    } else {
        result.invalidProperty = L"RADIO_WEBSITE";
        result.invalidValue = choice.radioWebsite;
    }
    return result;
}

}  // namespace ondex::iis
