// Book-by-book work over a library spread over the machine's cores, told in
// the books' order.
#pragma once

#include <cstddef>
#include <functional>

// Runs work(i, worker) for every i below n on up to `workers` threads (worker
// is the thread's number, for what each keeps of its own, such as a scratch
// folder), and then(i) on the calling thread in the order of i, each after its
// work is done; when then() gives false no more books are taken. At most two books a thread run ahead of then(), so
// memory does not grow with n. An exception from work is thrown again here, in its book's turn.
void InBookOrder(std::size_t n, std::size_t workers, const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<bool(std::size_t)>& then);

// The threads a library's books are read on: the machine's cores, at most 8
// (the books come from one disk).
std::size_t LibraryWorkers();
