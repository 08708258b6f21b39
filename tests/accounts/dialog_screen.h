#pragma once
// The installer dialog and its edit fields as the field refresh meets them,
// scripted through the seam: the dialog is window 0x100, its fields 1, 2, …
#include <windows.h>

#include <string>
#include <vector>

#include "support/seam_override.h"

namespace ondex::test {

struct Screen {
    bool dialog = true;
    int edits = 2;                  // handles 1, 2, …
    std::vector<std::wstring> sent;  // "edit:message:wParam:lParam", the text for EM_REPLACESEL

    static inline Screen* current = nullptr;
    static inline const HWND kDialog = reinterpret_cast<HWND>(0x100);

    // Answers FindWindowW, IsWindow, FindWindowExW and SendMessageW of `api` for this screen.
    void ScriptOn(platform::SystemApi& api) {
        current = this;
        api.FindWindowW = [](LPCWSTR className, LPCWSTR) -> HWND {
            return current->dialog && std::wstring(className) == L"MsiDialogCloseClass" ? kDialog : nullptr;
        };
        api.IsWindow = [](HWND window) -> BOOL { return window == kDialog; };
        api.FindWindowExW = [](HWND parent, HWND after, LPCWSTR className, LPCWSTR) -> HWND {
            const INT_PTR next = reinterpret_cast<INT_PTR>(after) + 1;
            return parent == kDialog && std::wstring(className) == L"Edit" && next <= current->edits
                       ? reinterpret_cast<HWND>(next)
                       : nullptr;
        };
        api.SendMessageW = [](HWND edit, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const std::wstring last = message == EM_REPLACESEL ? reinterpret_cast<const wchar_t*>(lParam)
                                                               : std::to_wstring(static_cast<INT_PTR>(lParam));
            current->sent.push_back(std::to_wstring(reinterpret_cast<INT_PTR>(edit)) + L":" + std::to_wstring(message) +
                                    L":" + std::to_wstring(wParam) + L":" + last);
            return 0;
        };
    }
};

}  // namespace ondex::test
