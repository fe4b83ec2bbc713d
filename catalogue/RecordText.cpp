#include "catalogue/RecordText.h"

#include <algorithm>
#include <stdexcept>

const char* CTextStore::Add(std::string_view str) {
    if (m_blocks.empty() || m_blocks.back().nSize - m_blocks.back().nUsed < str.size() + 1) {
        const std::size_t nSize = std::max(kBlock, str.size() + 1);
        m_blocks.push_back({std::make_unique_for_overwrite<char[]>(nSize), 0, nSize});
    }
    CBlock& block = m_blocks.back();
    char* p = block.pBytes.get() + block.nUsed;
    std::memcpy(p, str.data(), str.size());
    p[str.size()] = '\0';
    block.nUsed += str.size() + 1;
    return p;
}

char* CTextStore::AddCounted(std::size_t nSize) {
    constexpr std::size_t kAlign = alignof(std::size_t);
    // Blocks start aligned, as all that new[] gives.
    const auto aligned = [](std::size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); };
    if (m_counted.empty() || m_counted.back().nSize < aligned(m_counted.back().nUsed) + nSize) {
        const std::size_t nBlock = std::max(kBlock, nSize);
        m_counted.push_back({std::make_unique_for_overwrite<char[]>(nBlock), 0, nBlock});
    }
    CBlock& block = m_counted.back();
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

void CRecordText::Borrow(CTextStore& store, std::string_view str) {
    if (str.size() > kMaxSize) {
        throw std::length_error("record text too long");
    }
    Release();
    if (!str.empty()) {
        m_pText = store.Add(str);
        m_nBits = static_cast<std::uint32_t>(str.size());
    }
}

void CRecordText::Set(std::string_view str) {
    if (str.size() > kMaxSize) {
        throw std::length_error("record text too long");
    }
    if (str.empty()) {
        Release();
        return;
    }
    auto pText = std::make_unique_for_overwrite<char[]>(str.size() + 1);
    std::memcpy(pText.get(), str.data(), str.size());
    pText[str.size()] = '\0';
    Release();
    m_pText = pText.release();
    m_nBits = static_cast<std::uint32_t>(str.size()) | kOwned;
}
