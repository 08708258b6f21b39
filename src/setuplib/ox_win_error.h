#pragma once
// The setup library's exception: a Windows error code or HRESULT and an
// optional text. Minimal form used by the runtime host; the library's full
// OxWinError (display text from the system message table) replaces this header.
#include <windows.h>

#include <string>
#include <utility>

namespace OxSetupLib {

class OxWinError {
public:
    explicit OxWinError(DWORD code, std::wstring text = {}) : code_(code), text_(std::move(text)) {}
    virtual ~OxWinError() = default;
    DWORD Code() const { return code_; }
    const std::wstring& Text() const { return text_; }

private:
    DWORD code_;
    std::wstring text_;
};

}  // namespace OxSetupLib
