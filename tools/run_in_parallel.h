// Running many independent jobs (each a whole simulated run) on every core
// of the computer malvik-sim runs on.
#pragma once

#include <cstddef>
#include <functional>

// Calls run(i) once for every i in [0, nCount), on as many threads as the
// computer has cores, and returns when every call has returned. The calls
// run in no particular order: a caller keeps each result at its index, so
// what it shows stays in input order. Each run installs its own simulated
// machine, which its thread alone sees. When a call throws, the indices not
// yet started are left alone and the first exception is thrown again here,
// after every thread has ended.
void RunInParallel(std::size_t nCount, const std::function<void(std::size_t)>& run);
