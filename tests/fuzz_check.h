// The fuzz targets' invariant check: a failed invariant aborts, so libFuzzer keeps the input that
// broke it (an assert would vanish in a release build).
#pragma once

#include <cstdio>
#include <cstdlib>

#define Check(condition)                                          \
  do {                                                            \
    if (!(condition)) {                                           \
      std::fprintf(stderr, "invariant failed: %s\n", #condition); \
      std::abort();                                               \
    }                                                             \
  } while (false)
