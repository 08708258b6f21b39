#include "runtime/trace_flags.h"

namespace ondex::runtime {

std::uint32_t ParseDecimal(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    return negative ? 0u - value : value;
}

TracerFlags CombineTracerFlags(TracerFlags base, std::optional<TracerFlags> andOrMask,
                               std::optional<TracerFlags> xorMask) {
    const TracerFlags a = andOrMask.value_or(0);
    const TracerFlags x = xorMask.value_or(a ^ base);
    return (a & base) ^ x;
}

TracerFlags EventLevel(TracerFlags flags) {
    if (flags & TF_TRACE) return TF_TRACE;
    if (flags & TF_ERROR) return TF_ERROR;
    if (flags & TF_ASSERT) return TF_ASSERT;
    return 0;
}

}  // namespace ondex::runtime
