#include "platform/TextFile.h"

#include <cstring>

namespace {
constexpr std::size_t kChunk = 1 << 16;
}

void CTextFileReader::AttachFile(std::FILE* pFile) {
    Close();
    m_pFile = pFile;
    m_buffer.resize(kChunk);
}

void CTextFileReader::AttachMemory(const char* pData, std::size_t nSize) {
    Close();
    m_pMem = pData != nullptr ? pData : "";
    m_pPos = m_pMem;
    m_pEnd = m_pMem + nSize;
}

void CTextFileReader::Close() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
    }
    m_pFile = nullptr;
    m_pMem = nullptr;
    m_pPos = m_pEnd = nullptr;
    m_bTooLong = false;
    m_hash = CContentHash();
}

bool CTextFileReader::Fill() {
    if (m_pFile == nullptr) {
        return false;
    }
    const std::size_t n = std::fread(m_buffer.data(), 1, m_buffer.size(), m_pFile);
    m_hash.Update(m_buffer.data(), n);
    m_pPos = m_buffer.data();
    m_pEnd = m_pPos + n;
    return n > 0;
}

bool CTextFileReader::GiveUpLine(std::string& strLine) {
    m_bTooLong = true;
    strLine.clear();
    return false;
}

bool CTextFileReader::ReadLine(std::string& strLine) {
    strLine.clear();
    if (!IsOpen() || m_bTooLong) {
        return false;
    }
    // Room for one byte more than the limit: a CR may still turn out to be the
    // start of the line end.
    const std::size_t nHold = m_nLineLimit == kNoLineLimit ? kNoLineLimit : m_nLineLimit + 1;
    for (;;) {
        if (m_pPos == m_pEnd && !Fill()) {
            if (strLine.size() > m_nLineLimit) {
                return GiveUpLine(strLine);
            }
            return !strLine.empty();
        }
        const auto nAvail = static_cast<std::size_t>(m_pEnd - m_pPos);
        const auto* pNewline = static_cast<const char*>(std::memchr(m_pPos, '\n', nAvail));
        const std::size_t nTake =
            pNewline == nullptr ? nAvail : static_cast<std::size_t>(pNewline - m_pPos);
        if (nTake > nHold - strLine.size()) {
            return GiveUpLine(strLine);
        }
        strLine.append(m_pPos, nTake);
        if (pNewline == nullptr) {
            m_pPos = m_pEnd;
            continue;
        }
        m_pPos = pNewline + 1;
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.back() = '\n';
        } else {
            strLine.push_back('\n');
        }
        if (strLine.size() - 1 > m_nLineLimit) {
            return GiveUpLine(strLine);
        }
        return true;
    }
}

void CTextFileWriter::WriteString(std::string_view str) {
    if (m_bFailed) {
        return;
    }
    for (std::size_t nStart = 0; nStart < str.size();) {
        const auto* pNewline =
            static_cast<const char*>(std::memchr(str.data() + nStart, '\n', str.size() - nStart));
        const std::size_t nEnd =
            pNewline != nullptr ? static_cast<std::size_t>(pNewline - str.data()) : str.size();
        m_strBuffer.append(str.data() + nStart, nEnd - nStart);
        if (pNewline != nullptr) {
            m_strBuffer += "\r\n";
        }
        nStart = nEnd + (pNewline != nullptr ? 1 : 0);
    }
    if (m_strBuffer.size() >= kChunk && !Drain()) {
        m_bFailed = true;
    }
}

bool CTextFileWriter::Drain() {
    const bool bWritten = m_sink.Write(m_strBuffer.data(), m_strBuffer.size());
    m_strBuffer.clear();
    return bWritten;
}

bool CTextFileWriter::Close() {
    if (!m_bFailed && !m_strBuffer.empty() && !Drain()) {
        m_bFailed = true;
    }
    return !m_bFailed;
}
