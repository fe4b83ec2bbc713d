#include "catalogue/RecordText.h"

#include <algorithm>
#include <stdexcept>

const char* CTextStore::Add(std::string_view str) {
    char* p = Take(m_blocks, str.size() + 1, 1);
    std::memcpy(p, str.data(), str.size());
    p[str.size()] = '\0';
    return p;
}

char* CTextStore::AddCounted(std::size_t nSize) {
    return Take(m_counted, nSize, alignof(std::size_t));
}

char* CTextStore::Take(std::vector<CBlock>& blocks, std::size_t nSize, std::size_t nAlign) {
    // Blocks start aligned, as all that new[] gives.
    const auto aligned = [nAlign](std::size_t n) { return (n + nAlign - 1) & ~(nAlign - 1); };
    if (blocks.empty() || blocks.back().nSize < aligned(blocks.back().nUsed) + nSize) {
        const std::size_t nBlock = std::max(kBlock, nSize);
        blocks.push_back({std::make_unique_for_overwrite<char[]>(nBlock), 0, nBlock});
    }
    CBlock& block = blocks.back();
    block.nUsed = aligned(block.nUsed);
    char* p = block.pBytes.get() + block.nUsed;
    block.nUsed += nSize;
    return p;
}

void CTextStore::Adopt(CTextStore&& other) {
    Append(m_blocks, other.m_blocks);
    Append(m_counted, other.m_counted);
}

void CTextStore::Append(std::vector<CBlock>& to, std::vector<CBlock>& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    from.clear();
}

std::uint32_t CRecordText::SizeOf(std::string_view str) {
    if (str.size() > kMaxSize) {
        throw std::length_error("record text too long");
    }
    return static_cast<std::uint32_t>(str.size());
}

void CRecordText::Borrow(CTextStore& store, std::string_view str) {
    const std::uint32_t nSize = SizeOf(str);
    Release();
    if (nSize > 0) {
        m_pText = store.Add(str);
        m_nBits = nSize;
    }
}

void CRecordText::Set(std::string_view str) {
    const std::uint32_t nSize = SizeOf(str);
    if (nSize == 0) {
        Release();
        return;
    }
    auto pText = std::make_unique_for_overwrite<char[]>(str.size() + 1);
    std::memcpy(pText.get(), str.data(), str.size());
    pText[str.size()] = '\0';
    Release();
    m_pText = pText.release();
    m_nBits = nSize | kOwned;
}
