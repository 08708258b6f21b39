#include "support/seam_override.h"

namespace ondex::test {

namespace {
MessageBoxScript* g_current = nullptr;
}

MessageBoxScript::MessageBoxScript() : previous_(g_current) {
    g_current = this;
    override_.api().MessageBoxW = &MessageBoxScript::Show;
    override_.api().DebugBreak = &MessageBoxScript::Break;
    override_.api().IsDebuggerPresent = &MessageBoxScript::DebuggerPresent;
}

MessageBoxScript::~MessageBoxScript() { g_current = previous_; }

int WINAPI MessageBoxScript::Show(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
    MessageBoxScript& self = *g_current;
    self.boxes_.push_back({text ? text : L"", caption ? caption : L"", style});
    if (!self.answers_.empty()) {
        const int answer = self.answers_.front();
        self.answers_.pop_front();
        return answer;
    }
    return (style & 0xF) == MB_OKCANCEL ? IDOK : IDCONTINUE;
}

void WINAPI MessageBoxScript::Break() { ++g_current->debugBreaks_; }

BOOL WINAPI MessageBoxScript::DebuggerPresent() { return g_current->debugger_; }

}  // namespace ondex::test
