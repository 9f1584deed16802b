#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep; a broken one counts as a crash, in libFuzzer and in
// the replay tests alike.
#define QV_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
