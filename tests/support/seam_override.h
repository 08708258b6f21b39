#pragma once
// Scripted stand-ins for the seam's system calls.
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/seam.h"

namespace ondex::test {

// Restores the whole seam table when the scope ends.
class ScopedApiOverride {
public:
    ScopedApiOverride() : saved_(platform::Api()) {}
    ~ScopedApiOverride() { platform::Api() = saved_; }
    ScopedApiOverride(const ScopedApiOverride&) = delete;
    ScopedApiOverride& operator=(const ScopedApiOverride&) = delete;
    platform::SystemApi& api() { return platform::Api(); }

private:
    platform::SystemApi saved_;
};

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    UINT style;
};

// Records every message box and answers from a script; with the script
// used up, OK/Cancel boxes answer IDOK and all others IDCONTINUE.
class MessageBoxScript {
public:
    MessageBoxScript();
    ~MessageBoxScript();
    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

    MessageBoxScript& Answer(int answer) {
        answers_.push_back(answer);
        return *this;
    }
    // A debugger is attached from now on (none by default).
    MessageBoxScript& WithDebugger() {
        debugger_ = true;
        return *this;
    }
    const std::vector<ShownBox>& boxes() const { return boxes_; }
    int debugBreaks() const { return debugBreaks_; }
    // Each box as "caption|text", or "caption|text|style".
    std::vector<std::wstring> Shown(bool withStyle = false) const {
        std::vector<std::wstring> shown;
        for (const auto& box : boxes_)
            shown.push_back(box.caption + L"|" + box.text + (withStyle ? L"|" + std::to_wstring(box.style) : L""));
        return shown;
    }

private:
    static int WINAPI Show(HWND, LPCWSTR text, LPCWSTR caption, UINT style);
    static void WINAPI Break();
    static BOOL WINAPI DebuggerPresent();

    ScopedApiOverride override_;
    std::deque<int> answers_;
    std::vector<ShownBox> boxes_;
    int debugBreaks_ = 0;
    bool debugger_ = false;
    MessageBoxScript* previous_;
};

}  // namespace ondex::test
