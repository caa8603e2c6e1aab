// ORVEL_PRINTF_FORMAT(formatIndex, firstArgumentIndex) marks a function that
// takes a printf-style format, so that GCC and Clang check each call's
// arguments against it (the indices count from 1; a member function's `this`
// is argument 1). Other compilers check nothing.
#pragma once
#include <cstdio>  // defines __MINGW_PRINTF_FORMAT on mingw

#if defined(__MINGW32__)
// libstdc++ turns on mingw's own printf family, which knows %zu and %lld; the
// plain printf archetype would check against Microsoft's C library instead.
#define ORVEL_PRINTF_FORMAT(formatIndex, firstArgumentIndex) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArgumentIndex)))
#elif defined(__GNUC__)
#define ORVEL_PRINTF_FORMAT(formatIndex, firstArgumentIndex) \
  __attribute__((format(printf, formatIndex, firstArgumentIndex)))
#else
#define ORVEL_PRINTF_FORMAT(formatIndex, firstArgumentIndex)
#endif
