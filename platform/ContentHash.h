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

    CContentHash() { ResetBlock(); }
    // For the part of a stream that starts at nOffset, a multiple of kBlock.
    explicit CContentHash(std::uint64_t nOffset) : m_nLength(nOffset) { ResetBlock(); }

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
        std::memcpy(m_states, next.m_states, sizeof m_states);
        m_nWords = next.m_nWords;
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
    // A block's words go round four states in turn, whose steps do not wait
    // on each other: four times the bytes per step of one state.
    static constexpr std::size_t kLanes = 4;

    static std::uint64_t Finish(std::uint64_t h) {
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 33);
    }
    static std::uint64_t Mix(std::uint64_t nState, std::uint64_t w) {
        nState ^= w;
        nState *= 0x87C37B91114253D5ULL;
        return (nState << 31) | (nState >> 33);
    }
    static std::uint64_t Word(const char* pData) {
        std::uint64_t w = 0;
        std::memcpy(&w, pData, 8);
        return w;
    }

    void UpdateBlock(const char* pData, std::size_t nSize) {
        m_nLength += nSize;
        while (nSize > 0 && m_nTail != 0) {
            Take(*pData++);
            --nSize;
        }
        for (; nSize >= 8 && m_nWords % kLanes != 0; pData += 8, nSize -= 8) {
            MixWord(Word(pData));
        }
        for (; nSize >= 8 * kLanes; pData += 8 * kLanes, nSize -= 8 * kLanes) {
            for (std::size_t k = 0; k < kLanes; ++k) {
                m_states[k] = Mix(m_states[k], Word(pData + 8 * k));
            }
            m_nWords += kLanes;
        }
        for (; nSize >= 8; pData += 8, nSize -= 8) {
            MixWord(Word(pData));
        }
        while (nSize-- > 0) {
            Take(*pData++);
        }
    }

    // The block that holds the last byte hashed, with its place in the stream.
    std::uint64_t BlockValue() const {
        std::uint64_t h = m_states[0];
        for (std::size_t k = 1; k < kLanes; ++k) {
            h = Finish(h ^ m_states[k]);
        }
        std::uint64_t w = 0;
        std::memcpy(&w, m_tail, m_nTail);
        const std::uint64_t nIndex = (m_nLength - 1) / kBlock;
        return Finish(h ^ w ^ (nIndex * 0xD6E8FEB86659FD93ULL));
    }

    void EndBlock() {
        m_nSum += BlockValue();
        ResetBlock();
    }
    void ResetBlock() {
        for (std::size_t k = 0; k < kLanes; ++k) {
            m_states[k] = kSeed + k * 0x9E3779B97F4A7C15ULL;
        }
        m_nWords = 0;
        m_nTail = 0;
    }

    void MixWord(std::uint64_t w) {
        std::uint64_t& nState = m_states[m_nWords++ % kLanes];
        nState = Mix(nState, w);
    }
    // Whole words go in as they are; bytes that do not fill one wait in m_tail.
    void Take(char c) {
        m_tail[m_nTail++] = static_cast<unsigned char>(c);
        if (m_nTail == 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, m_tail, 8);
            MixWord(w);
            m_nTail = 0;
        }
    }

    std::uint64_t m_nSum = 0;  // of the blocks that are whole
    std::uint64_t m_states[kLanes];
    std::uint64_t m_nLength = 0;
    std::size_t m_nWords = 0;  // whole words of the block so far
    unsigned char m_tail[8] = {};
    std::size_t m_nTail = 0;
};
