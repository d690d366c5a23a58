// Book-by-book work over a library spread over the machine's cores, told in
// the books' order.
#pragma once

#include <cstddef>
#include <functional>

// Takes books one at a time with take(slot), false when there are no more;
// runs work(slot, worker) for each on up to `workers` threads (worker is the
// thread's number, for what each keeps of its own, such as a scratch
// folder); and then(slot) on the calling thread in the order the books were
// taken, each after its work is done. When then() gives false, no more books
// are taken. A slot (0 to slots-1) holds one book and what its work found;
// it is taken again only after then() has had it, so memory does not grow
// with the number of books. take is never called on two threads at once.
// An exception from take or work is thrown again here, in its book's turn.
void InBookOrder(std::size_t slots, std::size_t workers, const std::function<bool(std::size_t)>& take,
                 const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<bool(std::size_t)>& then);

// The threads a library's books are read on: the machine's cores, at most 8
// (the books come from one disk).
std::size_t LibraryWorkers();
