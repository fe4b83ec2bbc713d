// A 64-bit hash of a byte stream, to notice that a file's content changed. It
// is not meant to withstand someone who wants two contents to collide.
#pragma once

#include <cstdint>
#include <cstring>

class CContentHash {
public:
    void Update(const char* pData, std::size_t nSize) {
        m_nLength += nSize;
        while (nSize > 0 && m_nTail != 0) {
            Take(*pData++);
            --nSize;
        }
        for (; nSize >= 8; pData += 8, nSize -= 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, pData, 8);
            Mix(w);
        }
        while (nSize-- > 0) {
            Take(*pData++);
        }
    }

    std::uint64_t Value() const {
        std::uint64_t w = 0;
        std::memcpy(&w, m_tail, m_nTail);
        std::uint64_t h = m_nState ^ w ^ (m_nLength * 0x9E3779B97F4A7C15ULL);
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    }

private:
    // Whole words go in as they are; bytes that do not fill one wait in m_tail.
    void Take(char c) {
        m_tail[m_nTail++] = static_cast<unsigned char>(c);
        if (m_nTail == 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, m_tail, 8);
            Mix(w);
            m_nTail = 0;
        }
    }
    void Mix(std::uint64_t w) {
        m_nState ^= w;
        m_nState *= 0x87C37B91114253D5ULL;
        m_nState = (m_nState << 31) | (m_nState >> 33);
    }

    std::uint64_t m_nState = 0x2545F4914F6CDD1DULL;
    std::uint64_t m_nLength = 0;
    unsigned char m_tail[8] = {};
    std::size_t m_nTail = 0;
};
