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
}

bool CTextFileReader::Fill() {
    if (m_pFile == nullptr) {
        return false;
    }
    const std::size_t n = std::fread(m_buffer.data(), 1, m_buffer.size(), m_pFile);
    m_pPos = m_buffer.data();
    m_pEnd = m_pPos + n;
    return n > 0;
}

bool CTextFileReader::ReadLine(std::string& strLine) {
    strLine.clear();
    if (!IsOpen()) {
        return false;
    }
    for (;;) {
        if (m_pPos == m_pEnd && !Fill()) {
            return !strLine.empty();
        }
        const auto nAvail = static_cast<std::size_t>(m_pEnd - m_pPos);
        const auto* pNewline = static_cast<const char*>(std::memchr(m_pPos, '\n', nAvail));
        if (pNewline == nullptr) {
            strLine.append(m_pPos, nAvail);
            m_pPos = m_pEnd;
            continue;
        }
        strLine.append(m_pPos, static_cast<std::size_t>(pNewline - m_pPos));
        m_pPos = pNewline + 1;
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.back() = '\n';
        } else {
            strLine.push_back('\n');
        }
        return true;
    }
}

CTextFileWriter::~CTextFileWriter() {
    Close();
}

bool CTextFileWriter::Open(const std::string& strPath) {
    Close();
    m_pFile = std::fopen(strPath.c_str(), "wb");
    m_bFailed = false;
    return m_pFile != nullptr;
}

void CTextFileWriter::WriteString(std::string_view str) {
    if (m_pFile == nullptr || m_bFailed) {
        return;
    }
    for (std::size_t nStart = 0; nStart < str.size();) {
        std::size_t nEnd = str.find('\n', nStart);
        const bool bNewline = nEnd != std::string_view::npos;
        if (!bNewline) {
            nEnd = str.size();
        }
        const std::size_t n = nEnd - nStart;
        if (std::fwrite(str.data() + nStart, 1, n, m_pFile) != n ||
            (bNewline && std::fwrite("\r\n", 1, 2, m_pFile) != 2)) {
            m_bFailed = true;
            return;
        }
        nStart = nEnd + (bNewline ? 1 : 0);
    }
}

bool CTextFileWriter::Close() {
    if (m_pFile == nullptr) {
        return false;
    }
    const bool bFlushed = std::fflush(m_pFile) == 0 && std::ferror(m_pFile) == 0;
    const bool bClosed = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    return bFlushed && bClosed && !m_bFailed;
}
