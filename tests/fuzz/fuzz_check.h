// Invariant checks for the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>

// abort() rather than an exception or a return code: libFuzzer then keeps
// the input that broke the invariant as a crash file.
inline void Require(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "broken invariant: %s\n", invariant);
    std::abort();
}
