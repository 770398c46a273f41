#include "tools/run_in_parallel.h"

// One after the other, on the calling thread.
void RunInParallel(std::size_t nCount, const std::function<void(std::size_t)>& run) {
  for (std::size_t i = 0; i < nCount; ++i) run(i);
}
