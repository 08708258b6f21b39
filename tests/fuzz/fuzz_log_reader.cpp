// The log reader on arbitrary bytes: decoding, line parsing, runs and the
// report never fail, and every kept line is printable on one line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "log_report.h"
#include "log_text.h"

using namespace ondex::logreader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const LogReport report = ReadLog(DecodeLogLines(bytes));
    for (const auto& run : report.runs) {
        Require(!run.action.empty());
        for (const auto& line : run.lines)
            for (const char c : line.text) Require(static_cast<unsigned char>(c) >= 0x20 || c == '\t');
    }
    const std::string text = FormatReport(report);
    Require(!text.empty() && text.back() == '\n');
    return 0;
}
