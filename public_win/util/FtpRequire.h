#pragma once

#include <cstdio>
#include <cstdlib>

// Argument checks are contract checks and stay active in every build.
#define FTP_REQUIRE(expr)                                                                     \
    do {                                                                                      \
        if (!(expr)) {                                                                        \
            std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", #expr, __FILE__, \
                         __LINE__);                                                           \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)
