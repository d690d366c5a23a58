#include "Jobs.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void InBookOrder(std::size_t n, std::size_t workers, const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<bool(std::size_t)>& then) {
  auto alone = [&] {
    for (std::size_t i = 0; i < n; ++i) {
      work(i, 0);
      if (!then(i)) return;
    }
  };
  workers = std::max<std::size_t>(1, std::min(workers, n));
  if (workers == 1) return alone();
  const std::size_t ahead = 2 * workers;
  std::mutex m;
  std::condition_variable changed;
  std::size_t next = 0;  // the next book to take
  std::size_t told = 0;  // the books then() has had
  bool stop = false;     // then() threw: take no more
  std::vector<char> done(n, 0);
  std::vector<std::exception_ptr> failed(n);
  auto run = [&](std::size_t worker) {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(m);
        changed.wait(lock, [&] { return stop || next >= n || next < told + ahead; });
        if (stop || next >= n) return;
        i = next++;
      }
      std::exception_ptr error;
      try {
        work(i, worker);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard lock(m);
        failed[i] = error;
        done[i] = 1;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  // A thread that cannot be started leaves the work to the others.
  for (std::size_t w = 0; w < workers; ++w) {
    try {
      threads.emplace_back(run, w);
    } catch (const std::system_error&) {
      break;
    }
  }
  auto finish = [&] {
    {
      std::lock_guard lock(m);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
  };
  try {
    if (threads.empty()) return alone();
    for (std::size_t i = 0; i < n; ++i) {
      std::exception_ptr error;
      {
        std::unique_lock lock(m);
        changed.wait(lock, [&] { return done[i] != 0; });
        error = failed[i];
      }
      if (error) std::rethrow_exception(error);
      if (!then(i)) break;
      {
        std::lock_guard lock(m);
        told = i + 1;
      }
      changed.notify_all();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

std::size_t LibraryWorkers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(cores, 1, 8);
}
