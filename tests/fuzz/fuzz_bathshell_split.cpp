// The BathShell splitter on arbitrary data: the title and commands, joined
// again by the separator, must give back the data up to an ignored short
// remainder, and no piece may hold a separator.
#include <cstdlib>
#include <string>

#include "prereq/shell_text.h"
#include "fuzz_support.h"

using ondex::prereq::kBathShellSeparator;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring data(bytes, bytes + size);
    const auto script = ondex::prereq::SplitBathShellData(data);
    if (!script) {
        Require(data.find(kBathShellSeparator) == std::wstring::npos);
        return 0;
    }
    std::wstring joined = script->title;
    for (const auto& command : script->commands) {
        Require(command.find(kBathShellSeparator) == std::wstring::npos);
        joined += kBathShellSeparator;
        joined += command;
    }
    Require(script->title.find(kBathShellSeparator) == std::wstring::npos);
    Require(data.compare(0, joined.size(), joined) == 0);

    const std::wstring rest = data.substr(joined.size());
    if (rest.empty()) {
        // The last command was the final remainder.
        Require(!script->commands.empty() && script->commands.back().size() > 4);
    } else {
        Require(rest.compare(0, kBathShellSeparator.size(), kBathShellSeparator) == 0);
        const std::wstring ignored = rest.substr(kBathShellSeparator.size());
        Require(ignored.size() <= 4 && ignored.find(kBathShellSeparator) == std::wstring::npos);
    }
    return 0;
}
