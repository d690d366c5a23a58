#include "Jobs.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void InBookOrder(std::size_t slots, std::size_t workers, const std::function<bool(std::size_t)>& take,
                 const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<bool(std::size_t)>& then) {
  auto alone = [&] {
    while (take(0)) {
      work(0, 0);
      if (!then(0)) return;
    }
  };
  workers = std::clamp<std::size_t>(workers, 1, slots);
  if (workers == 1) return alone();
  std::mutex m;
  std::condition_variable changed;
  std::size_t taken = 0;                        // the books taken so far
  std::size_t told = 0;                         // the books then() has had
  bool end = false;                             // take found no more, or failed
  bool stop = false;                            // then() asked for no more, or threw
  std::vector<std::size_t> finished(slots, 0);  // the book (counted from 1) whose work a slot holds, done
  std::vector<std::exception_ptr> failed(slots);
  auto run = [&](std::size_t worker) {
    for (;;) {
      std::size_t i = 0;
      std::exception_ptr error;
      {
        std::unique_lock lock(m);
        changed.wait(lock, [&] { return stop || end || taken < told + slots; });
        if (stop || end) return;
        i = taken;
        bool got = true;
        try {
          got = take(i % slots);
        } catch (...) {
          error = std::current_exception();
          end = true;
        }
        if (!got) {
          end = true;
          lock.unlock();
          changed.notify_all();
          return;
        }
        taken = i + 1;
      }
      if (!error) {
        try {
          work(i % slots, worker);
        } catch (...) {
          error = std::current_exception();
        }
      }
      {
        std::lock_guard lock(m);
        failed[i % slots] = error;
        finished[i % slots] = i + 1;
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
  if (threads.empty()) return alone();
  auto finish = [&] {
    {
      std::lock_guard lock(m);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
  };
  try {
    for (std::size_t i = 0;; ++i) {
      std::exception_ptr error;
      {
        std::unique_lock lock(m);
        changed.wait(lock, [&] { return finished[i % slots] == i + 1 || (end && taken == i); });
        if (finished[i % slots] != i + 1) break;  // no more books
        error = failed[i % slots];
      }
      if (error) std::rethrow_exception(error);
      if (!then(i % slots)) break;
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
