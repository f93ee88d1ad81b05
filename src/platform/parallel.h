#pragma once

#include <cstdint>
#include <functional>

namespace karuvo {

// The most pieces of work run at once.
inline constexpr int kMaxParallel = 4;

// Runs work(0) .. work(n - 1) at once, work(0) on the calling thread and the rest on
// worker threads kept for the life of the application (so that what a worker caches,
// such as font engines and glyphs, serves later runs too), and passes on the first
// exception any of them threw. n is at most kMaxParallel. Runs are taken one at a time.
void runParallel(int n, const std::function<void(int)>& work);

// Calls f(first, last) over row ranges that together make rows y0 .. y1 - 1: in two
// bands on two threads for an area of at least a million pixels where there are two
// cores, otherwise once. For work whose rows do not depend on each other, so that the
// result is the same either way.
void forRowBands(std::int64_t y0, std::int64_t y1, std::int64_t rowPixels,
                 const std::function<void(std::int64_t first, std::int64_t last)>& f);

}  // namespace karuvo
