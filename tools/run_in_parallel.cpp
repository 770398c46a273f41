#include "tools/run_in_parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void RunInParallel(std::size_t nCount, const std::function<void(std::size_t)>& run) {
  // hardware_concurrency may not know (0); one thread is then still right.
  const std::size_t nCores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t nThreads = std::min(nCores, nCount);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> bStop{false};
  std::exception_ptr first;
  std::mutex firstLock;
  auto work = [&] {
    for (;;) {
      if (bStop.load()) return;
      const std::size_t i = next.fetch_add(1);
      if (i >= nCount) return;
      try {
        run(i);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(firstLock);
        if (!first) first = std::current_exception();
        bStop.store(true);
      }
    }
  };
  if (nThreads <= 1) {
    work();
  } else {
    // The calling thread is one of the workers.
    std::vector<std::thread> threads;
    threads.reserve(nThreads - 1);
    for (std::size_t t = 1; t < nThreads; ++t) {
      // A thread the system refuses leaves its share to the others.
      try {
        threads.emplace_back(work);
      } catch (const std::system_error&) {
        break;
      }
    }
    work();
    for (std::thread& thread : threads) thread.join();
  }
  if (first) std::rethrow_exception(first);
}
