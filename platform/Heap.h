// Heap memory made ready ahead of many small allocations.
#pragma once

#include <cstddef>

// Makes heap memory present in large steps while a reader makes many small
// allocations, and keeps the heap from giving it back when it is freed:
// each new page would otherwise stop the reader once. Counts what the heap
// held free when it was made. Does nothing where the C library offers no
// such control.
class CHeapReserve {
public:
    CHeapReserve();
    CHeapReserve(const CHeapReserve&) = delete;
    CHeapReserve& operator=(const CHeapReserve&) = delete;

    // The allocations so far take at least nUsed bytes: keeps a quarter of
    // that more present, up to a step.
    void Reach(std::size_t nUsed);

    // The most that is kept present beyond what is taken.
    static constexpr std::size_t kStep = 4u << 20;

    // Gives the memory of freed blocks back to the system where whole pages
    // of it lie free, after a step that freed much more than it kept.
    static void ReturnFree();

private:
    // Free when made, plus what the heap grew by for this since.
    std::size_t m_nReady = 0;
};
