#include "runtime/trace_file.h"

namespace ondex::runtime {

bool TraceFileStream::Open(const std::wstring& path, bool append) {
    Close();
    // Null security attributes: the handle is not inheritable.
    file_ = ::CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

void TraceFileStream::Write(std::wstring_view text) {
    if (!IsOpen()) return;
    for (const wchar_t c : text) {
        if (c == L'\n') buffer_.push_back('\r');
        buffer_.push_back(c > 0xFF ? '?' : static_cast<char>(c));
    }
    if (buffer_.size() >= kBufferBytes) Flush();
}

void TraceFileStream::Flush() {
    if (!IsOpen() || buffer_.empty()) return;
    DWORD written = 0;
    ::WriteFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &written, nullptr);
    buffer_.clear();
}

void TraceFileStream::Close() {
    if (!IsOpen()) return;
    Flush();
    ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

}  // namespace ondex::runtime
