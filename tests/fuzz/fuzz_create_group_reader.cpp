// Arbitrary CreateGroup data through the deferred reader: it never reads
// outside its copy, and whatever it accepts, written again, reads back the
// same (fields holding no separator survive the round trip).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/deferred_text.h"
#include "system/local_groups_text.h"
#include "fuzz_support.h"

using namespace ondex::system;

namespace {

bool HasSeparator(const std::wstring& text) {
    return text.find(ondex::runtime::kDeferredSeparator) != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One byte per character keeps the separator frequent; the data ends at
    // the first terminator like a property value does.
    std::wstring text;
    for (std::size_t i = 0; i < size && data[i] != 0; ++i) text += static_cast<wchar_t>(data[i]);
    GroupRequest request;
    if (ParseCreateGroupData(text, request) != GroupDataStatus::Ok) return 0;

    Require(!HasSeparator(request.name) && !HasSeparator(request.description) && !HasSeparator(request.parentGroup));
    const std::wstring written = WriteCreateGroupData(request);
    Require(written.size() <= CreateGroupDataCapacity(request));
    GroupRequest again;
    Require(ParseCreateGroupData(written, again) == GroupDataStatus::Ok);
    Require(again == request);
    return 0;
}
