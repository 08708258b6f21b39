#pragma once
// The trace file's output stream: 8-bit text (code points above 0xFF become
// '?'), line feeds written as CR LF, buffered until the buffer fills or the
// stream closes. Its handle is never inherited, so a program that an action
// starts cannot keep the file open after the action.
#include <windows.h>

#include <string>
#include <string_view>

namespace ondex::runtime {

class TraceFileStream {
public:
    TraceFileStream() = default;
    ~TraceFileStream() { Close(); }
    TraceFileStream(const TraceFileStream&) = delete;
    TraceFileStream& operator=(const TraceFileStream&) = delete;

    // Opens for appending or truncating; false (and a closed stream) on failure.
    bool Open(const std::wstring& path, bool append);
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    void Write(std::wstring_view text);
    void Flush();
    void Close();

private:
    static constexpr size_t kBufferBytes = 4096;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string buffer_;
};

}  // namespace ondex::runtime
