#pragma once

#include <functional>

namespace karuvo {

// The most pieces of work run at once.
inline constexpr int kMaxParallel = 4;

// Runs work(0) .. work(n - 1) at once, work(0) on the calling thread and the rest on
// worker threads kept for the life of the application (so that what a worker caches,
// such as font engines and glyphs, serves later runs too), and passes on the first
// exception any of them threw. n is at most kMaxParallel. Runs are taken one at a time.
void runParallel(int n, const std::function<void(int)>& work);

}  // namespace karuvo
