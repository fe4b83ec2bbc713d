// A 64-bit hash of a byte stream, to notice that a file's content changed. It
// is not meant to withstand someone who wants two contents to collide.
#pragma once

#include <cstdint>
#include <cstring>

// The stream is hashed in blocks of kBlock bytes, each with its place, so that
// two parts of one file can be hashed apart, on two threads, and joined.
class CContentHash {
public:
    static constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;

    CContentHash() = default;
    // For the part of a stream that starts at nOffset, a multiple of kBlock.
    explicit CContentHash(std::uint64_t nOffset) : m_nLength(nOffset) {}

    void Update(const char* pData, std::size_t nSize) {
        while (nSize > 0) {
            const auto nRoom = static_cast<std::size_t>(kBlock - m_nLength % kBlock);
            const std::size_t nTake = nSize < nRoom ? nSize : nRoom;
            UpdateBlock(pData, nTake);
            pData += nTake;
            nSize -= nTake;
            if (m_nLength % kBlock == 0) {
                EndBlock();
            }
        }
    }

    // The bytes hashed so far, counted from the start of the stream.
    std::uint64_t Length() const { return m_nLength; }

    // Takes in the hash of the part that follows this one, which ends at a
    // block's end where the other part starts.
    void Join(const CContentHash& next) {
        m_nSum += next.m_nSum;
        m_nState = next.m_nState;
        std::memcpy(m_tail, next.m_tail, sizeof m_tail);
        m_nTail = next.m_nTail;
        m_nLength = next.m_nLength;
    }

    std::uint64_t Value() const {
        std::uint64_t h = m_nSum;
        if (m_nLength % kBlock != 0) {
            h += BlockValue();
        }
        return Finish(h ^ (m_nLength * 0x9E3779B97F4A7C15ULL));
    }

private:
    static constexpr std::uint64_t kSeed = 0x2545F4914F6CDD1DULL;

    static std::uint64_t Finish(std::uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    }

    void UpdateBlock(const char* pData, std::size_t nSize) {
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

    // The block that holds the last byte hashed, with its place in the stream.
    std::uint64_t BlockValue() const {
        std::uint64_t w = 0;
        std::memcpy(&w, m_tail, m_nTail);
        const std::uint64_t nIndex = (m_nLength - 1) / kBlock;
        return Finish(m_nState ^ w ^ (nIndex * 0xD6E8FEB86659FD93ULL));
    }

    void EndBlock() {
        m_nSum += BlockValue();
        m_nState = kSeed;
        m_nTail = 0;
    }

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

    std::uint64_t m_nSum = 0;  // of the blocks that are whole
    std::uint64_t m_nState = kSeed;
    std::uint64_t m_nLength = 0;
    unsigned char m_tail[8] = {};
    std::size_t m_nTail = 0;
};
