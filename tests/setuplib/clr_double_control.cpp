#include "clr_double_control.h"

#include <sstream>

#include "runtime/text_format.h"
#include "support/com_faults.h"

namespace ondex::test {
namespace {

void Append(std::wstring& list, const wchar_t* variable, const std::wstring& entry) {
    list += entry + L";";
    ::SetEnvironmentVariableW(variable, list.c_str());
}

std::wstring Hex(HRESULT code) { return runtime::FormatWide(L"0x%08X", static_cast<unsigned>(code)); }

}  // namespace

ClrDoubleScope::ClrDoubleScope() {
    // The host takes mscoree.dll from the system folder, or the module of that
    // name already loaded: the double beside the tests, loaded here and kept.
    ::LoadLibraryW(L"mscoree.dll");
    ::SetEnvironmentVariableW(L"OXCLR_DOUBLE_LOG", folder_.File(L"calls.log").c_str());
    for (const wchar_t* name : {L"OXCLR_DOUBLE_FAIL", L"OXCLR_DOUBLE_RETURN", L"OXCLR_DOUBLE_THROW"}) {
        ::SetEnvironmentVariableW(name, nullptr);
    }
}

ClrDoubleScope::~ClrDoubleScope() {
    for (const wchar_t* name : {L"OXCLR_DOUBLE_LOG", L"OXCLR_DOUBLE_FAIL", L"OXCLR_DOUBLE_RETURN", L"OXCLR_DOUBLE_THROW"}) {
        ::SetEnvironmentVariableW(name, nullptr);
    }
}

void ClrDoubleScope::Fail(const std::wstring& call, HRESULT code, int argumentIndex) {
    Append(fail_, L"OXCLR_DOUBLE_FAIL",
           call + L"=" + Hex(code) + (argumentIndex >= 0 ? L"@" + std::to_wstring(argumentIndex) : L""));
}

void ClrDoubleScope::Return(const std::wstring& method, bool value) {
    Append(returns_, L"OXCLR_DOUBLE_RETURN", method + (value ? L"=true" : L"=false"));
}

void ClrDoubleScope::Throw(const std::wstring& method, HRESULT code, const std::wstring& description) {
    Append(throws_, L"OXCLR_DOUBLE_THROW", method + L"=" + Hex(code) + L":" + description);
}

std::vector<std::string> ClrDoubleScope::Calls() const {
    std::istringstream text(ReadFileBytes(folder_.File(L"calls.log")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> ClrDoubleScope::Invokes() const {
    std::vector<std::string> invokes;
    for (const std::string& call : Calls())
        if (call.rfind("Invoke ", 0) == 0) invokes.push_back(call.substr(7));
    return invokes;
}

std::vector<std::pair<std::wstring, UINT>> ShownMessages(const LogCapture& log) {
    std::vector<std::pair<std::wstring, UINT>> shown;
    for (const auto& m : log.OfType(INSTALLMESSAGE_FATALEXIT)) shown.emplace_back(m.text, m.style);
    return shown;
}

bool ClrDoubleJoinsFaultInjection() {
    using Setter = void(WINAPI*)(bool (*)(const char*));
    const HMODULE double_ = ::LoadLibraryW(L"mscoree.dll");  // kept loaded, as the runtime keeps itself
    const FARPROC found = double_ ? ::GetProcAddress(double_, "OxClrDoubleSetFaultHook") : nullptr;
    if (!found) return false;
    reinterpret_cast<Setter>(reinterpret_cast<void (*)()>(found))(&ComMethodFails);
    return true;
}

long ClrDoubleScope::LiveObjects() {
    using Counter = long(WINAPI*)();
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"mscoree.dll"), "OxClrDoubleLiveObjects");
    return found ? reinterpret_cast<Counter>(reinterpret_cast<void (*)()>(found))() : -1;
}

}  // namespace ondex::test
