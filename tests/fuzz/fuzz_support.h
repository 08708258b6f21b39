#pragma once
// Fuzz targets state what must hold; a violation aborts, which libFuzzer reports.
#include <cstdlib>

inline void Require(bool condition) {
    if (!condition) std::abort();
}
