// Runs independent pieces of work, such as one simulated machine each.
#pragma once

#include <cstddef>
#include <functional>

// Calls run(i) once for every i in [0, nCount) and returns when all are
// done. Each call builds and runs its own simulated machine and keeps its
// result at index i of a vector its caller sized, so the output follows the
// input order whatever order the calls finish in.
void RunInParallel(std::size_t nCount, const std::function<void(std::size_t)>& run);
