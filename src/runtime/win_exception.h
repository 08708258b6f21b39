#pragma once
// Thrown by platform routines that cannot return a status (registry, service
// control, firewall and share operations); the action that called them
// catches it and logs or stores FormatErrMessage of the code with the text.
#include <windows.h>

#include <string>
#include <utility>

namespace ondex::runtime {

class CWinEExc {
public:
    // `code` is a Win32 error code or an HRESULT.
    CWinEExc(std::wstring message, DWORD code) : message_(std::move(message)), code_(code) {}
    const std::wstring& Message() const { return message_; }
    DWORD Code() const { return code_; }

private:
    std::wstring message_;
    DWORD code_;
};

}  // namespace ondex::runtime
