#include "catalogue/RecordText.h"

#include <algorithm>
#include <limits>
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

void CTextStore::Adopt(CTextStore&& other) {
    m_blocks.insert(m_blocks.end(), std::make_move_iterator(other.m_blocks.begin()),
                    std::make_move_iterator(other.m_blocks.end()));
    other.m_blocks.clear();
}

void CRecordText::Borrow(CTextStore& store, std::string_view str) {
    if (str.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("record text too long");
    }
    Release();
    if (!str.empty()) {
        m_pText = store.Add(str);
        m_nSize = static_cast<std::uint32_t>(str.size());
    }
}

void CRecordText::Set(std::string_view str) {
    if (str.size() > std::numeric_limits<std::uint32_t>::max()) {
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
    m_nSize = static_cast<std::uint32_t>(str.size());
    m_bOwned = true;
}
