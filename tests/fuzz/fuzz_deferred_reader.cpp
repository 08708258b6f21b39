// Arbitrary deferred data through a reader shaped like the deferred actions':
// a function name, a text, an integer and an array, then whatever is left;
// plus SplitString and the array writer on the same input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/deferred_text.h"
#include "runtime/trace_flags.h"
#include "fuzz_support.h"

using namespace ondex::runtime;

namespace {

// A token must lie inside the buffer and hold no separator.
void CheckToken(const wchar_t* token, const std::vector<wchar_t>& buffer) {
    Require(token >= buffer.data() && token < buffer.data() + buffer.size());
    for (const wchar_t* c = token; *c != L'\0'; ++c) Require(*c != kDeferredSeparator);
}

void ReadFields(std::vector<wchar_t>& buffer) {
    wchar_t* context = buffer.data();
    const wchar_t* name = TakeFirstToken(context);
    if (name == nullptr) return;
    CheckToken(name, buffer);

    const wchar_t* text = TakeNextToken(context);
    if (text == nullptr) return;
    CheckToken(text, buffer);
    const wchar_t* integer = TakeNextToken(context);
    if (integer == nullptr) return;
    (void)ParseDecimal(integer);

    const wchar_t* countToken = TakeNextToken(context);
    if (countToken == nullptr) return;
    const std::uint32_t count = ParseDecimal(countToken);
    if (!HasTokens(context, count)) return;
    std::vector<const wchar_t*> items(count);
    for (auto& item : items) {
        item = TakeNextToken(context);
        Require(item != nullptr);
        CheckToken(item, buffer);
    }
    while (const wchar_t* rest = TakeNextToken(context)) CheckToken(rest, buffer);
    Require(context >= buffer.data() && context < buffer.data() + buffer.size());
}

void CheckSplitAndSerialize(const std::wstring& text) {
    const auto pieces = SplitString(text);
    std::wstring joined;
    for (size_t i = 0; i < pieces.size(); ++i) joined += (i ? L";" : L"") + pieces[i];
    Require(joined == text);

    // Pieces hold no separator when the text holds none: then the array reads back.
    if (text.find(kDeferredSeparator) != std::wstring::npos) return;
    std::wstring serialized = SerializeItems(pieces);
    std::vector<wchar_t> buffer(serialized.begin(), serialized.end());
    buffer.push_back(L'\0');
    wchar_t* context = buffer.data();
    Require(ParseDecimal(TakeNextToken(context)) == pieces.size());
    for (const auto& piece : pieces) {
        const wchar_t* item = TakeNextToken(context);
        // A final empty item cannot be told from the end of the data.
        if (item == nullptr) {
            Require(piece.empty() && &piece == &pieces.back());
            return;
        }
        Require(piece == item);
    }
    Require(TakeNextToken(context) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One byte per character keeps the separator frequent; the data ends at
    // the first terminator like a property value does.
    std::wstring text;
    for (std::size_t i = 0; i < size && data[i] != 0; ++i) text += static_cast<wchar_t>(data[i]);
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    ReadFields(buffer);
    CheckSplitAndSerialize(text);
    return 0;
}
