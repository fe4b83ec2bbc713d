#include "platform/Heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace {

// Blocks up to this size come from the heap, larger ones are mapped of their
// own: the most that glibc's own adaptive threshold would come to.
constexpr int kMmapThreshold = 32 << 20;

}  // namespace

CHeapReserve::CHeapReserve() {
    // Freed small blocks join their free neighbours at once instead of
    // waiting in lists of their own: after a million records are freed,
    // counting the free memory would otherwise walk every one of them, and
    // take as long as reading a tenth of the store.
    mallopt(M_MXFAST, 0);
    m_nReady = mallinfo2().fordblks;
}

void CHeapReserve::Reach(std::size_t nUsed) {
    // A quarter more, up to a step: a small store gets little that it may
    // not use.
    const std::size_t nAhead = std::min(kStep, std::max<std::size_t>(nUsed / 4, 64u << 10));
    if (m_nReady >= nUsed + nAhead) {
        return;
    }
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    // What the records take stays in the heap when they are freed, for the
    // next import of the same store.
    mallopt(M_TRIM_THRESHOLD,
            static_cast<int>(std::clamp<std::size_t>(2 * nUsed, 2 * kMmapThreshold, INT_MAX)));
    // The blocks are held until all are made. Only what the heap grows by
    // counts: a block may lie in memory that was free already, and there
    // are no more of those than the memory counted so far.
    std::vector<char*> blocks;
    const auto nPage = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::size_t nMaxBlocks = (nUsed + nAhead) / nAhead + 2;
    while (m_nReady < nUsed + nAhead && blocks.size() < nMaxBlocks) {
        const auto* pBreak = static_cast<const char*>(sbrk(0));
        auto* p = static_cast<char*>(std::malloc(nAhead));
        if (p == nullptr) {
            break;
        }
        blocks.push_back(p);
        // Pages that are present already are left as they are.
        const auto nBegin = (reinterpret_cast<std::uintptr_t>(p) + nPage - 1) & ~(nPage - 1);
        const auto nEnd = (reinterpret_cast<std::uintptr_t>(p) + nAhead) & ~(nPage - 1);
        if (nEnd > nBegin) {
            madvise(reinterpret_cast<void*>(nBegin), nEnd - nBegin, MADV_POPULATE_WRITE);
        }
        const auto* pNewBreak = static_cast<const char*>(sbrk(0));
        m_nReady += pNewBreak > pBreak ? static_cast<std::size_t>(pNewBreak - pBreak) : 0;
    }
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        std::free(*it);
    }
}

void CHeapReserve::ReturnFree() {
    malloc_trim(0);
}

#else

CHeapReserve::CHeapReserve() = default;

void CHeapReserve::ReturnFree() {}

void CHeapReserve::Reach(std::size_t nUsed) {
    (void)nUsed;
}

#endif
