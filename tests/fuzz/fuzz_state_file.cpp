// The state-file loader on arbitrary bytes: it either rejects them or finds
// blobs that encode back to exactly the bytes it read, and the member
// decoders accept a blob only at their own size.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "setuplib/state_format.h"
#include "fuzz_support.h"

using namespace OxSetupLib::state;

namespace {

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    std::vector<Blob> blobs;
    if (!DecodeFile(bytes, size, blobs)) return 0;
    const std::vector<std::uint8_t> encoded = EncodeFile(blobs);
    Require(encoded.size() <= size);
    Require(std::equal(encoded.begin(), encoded.end(), bytes));
    for (const Blob& blob : blobs) {
        std::uint8_t byte = 0;
        std::uint32_t number = 0;
        Require(DecodeByte(blob, byte) == (blob.size() == 1));
        Require(DecodeUInt32(blob, number) == (blob.size() == 4));
        const std::u16string text = DecodeUtf16(blob);
        Require(text.size() <= blob.size() / 2);
        Require(text.find(u'\0') == std::u16string::npos);
        if (text.size() == blob.size() / 2 && blob.size() % 2 == 0) Require(EncodeUtf16(text) == blob);
    }
    return 0;
}
