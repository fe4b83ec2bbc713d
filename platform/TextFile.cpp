#include "platform/TextFile.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#endif

namespace {
constexpr std::size_t kChunk = 1 << 16;
}

void CTextFileReader::AttachFile(std::FILE* pFile) {
    Close();
    m_pFile = pFile;
    ReserveBuffer(kChunk);
}

#ifndef _WIN32
void CTextFileReader::AttachDescriptor(int fd, std::uint64_t nSize) {
    Close();
    m_fd = fd;
    m_nFileSize = nSize;
    // One byte more than the file, so that its end is seen without a second read.
    ReserveBuffer(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, nSize + 1)));
}
#endif

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
#ifndef _WIN32
    if (m_fd >= 0 && !m_bPread) {
        close(m_fd);
    }
#endif
    m_pFile = nullptr;
    m_fd = -1;
    m_pMem = nullptr;
    m_pPos = m_pEnd = nullptr;
    m_strLine.clear();
    m_bTooLong = false;
    m_hash = CContentHash();
    m_nOffset = 0;
    m_nReadEnd = m_nHashEnd = kNoEnd;
    m_nTextFrom = 0;
    m_nFileSize = 0;
    m_bPread = false;
}

std::size_t CTextFileReader::Peek(std::uint64_t nOffset, char* pData, std::size_t nSize) const {
#ifndef _WIN32
    if (m_fd >= 0) {
        ssize_t nRead = 0;
        do {
            nRead = pread(m_fd, pData, nSize, static_cast<off_t>(nOffset));
        } while (nRead < 0 && errno == EINTR);
        return nRead > 0 ? static_cast<std::size_t>(nRead) : 0;
    }
#endif
    (void)nOffset;
    (void)pData;
    (void)nSize;
    return 0;
}

void CTextFileReader::EndAt(std::uint64_t nSplit, std::uint64_t nHashSplit) {
    m_nReadEnd = nSplit;
    m_nHashEnd = nHashSplit;
}

void CTextFileReader::AttachRest(const CTextFileReader& first, std::uint64_t nSplit,
                                 std::uint64_t nHashSplit) {
    Close();
    m_fd = first.m_fd;
    m_bPread = true;
    m_nOffset = nHashSplit;
    m_nTextFrom = nSplit;
    m_hash = CContentHash(nHashSplit);
    m_nLineLimit = first.m_nLineLimit;
    ReserveBuffer(kChunk);
}

void CTextFileReader::ReserveBuffer(std::size_t nSize) {
    if (m_nBufferSize < nSize) {
        m_pBuffer = std::make_unique_for_overwrite<char[]>(nSize);
        m_nBufferSize = nSize;
    }
}

bool CTextFileReader::Fill() {
    std::size_t n = 0;
    if (m_pFile != nullptr) {
        n = std::fread(m_pBuffer.get(), 1, m_nBufferSize, m_pFile);
    }
#ifndef _WIN32
    else if (m_fd >= 0) {
        const std::size_t nWant = static_cast<std::size_t>(
            std::min<std::uint64_t>(m_nBufferSize, m_nReadEnd - m_nOffset));
        ssize_t nRead = 0;
        do {
            nRead = nWant == 0 ? 0
                    : m_bPread ? pread(m_fd, m_pBuffer.get(), nWant, static_cast<off_t>(m_nOffset))
                               : read(m_fd, m_pBuffer.get(), nWant);
        } while (nRead < 0 && errno == EINTR);
        n = nRead > 0 ? static_cast<std::size_t>(nRead) : 0;
    }
#endif
    else {
        return false;
    }
    const std::uint64_t nStart = m_nOffset;
    m_nOffset += n;
    m_hash.Update(m_pBuffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(
                                       n, nStart < m_nHashEnd ? m_nHashEnd - nStart : 0)));
    const std::size_t nSkip = static_cast<std::size_t>(
        std::min<std::uint64_t>(n, m_nTextFrom > nStart ? m_nTextFrom - nStart : 0));
    m_pPos = m_pBuffer.get() + nSkip;
    m_pEnd = m_pBuffer.get() + n;
    return n > 0;
}

bool CTextFileReader::GiveUpLine(std::string_view& strLine) {
    m_bTooLong = true;
    m_strLine.clear();
    strLine = {};
    return false;
}

bool CTextFileReader::ReadLine(std::string& strLine) {
    std::string_view strView;
    const bool bRead = ReadLine(strView);
    strLine.assign(strView);
    return bRead;
}

bool CTextFileReader::ReadLine(std::string_view& strLine) {
    strLine = {};
    m_strLine.clear();
    if (!IsOpen() || m_bTooLong) {
        return false;
    }
    // Room for one byte more than the limit: a CR may still turn out to be the
    // start of the line end.
    const std::size_t nHold = m_nLineLimit == kNoLineLimit ? kNoLineLimit : m_nLineLimit + 1;
    for (;;) {
        if (m_pPos == m_pEnd && !Fill()) {
            if (m_strLine.size() > m_nLineLimit) {
                return GiveUpLine(strLine);
            }
            strLine = m_strLine;
            return !m_strLine.empty();
        }
        const auto nAvail = static_cast<std::size_t>(m_pEnd - m_pPos);
        const auto* pNewline = static_cast<const char*>(std::memchr(m_pPos, '\n', nAvail));
        const std::size_t nTake =
            pNewline == nullptr ? nAvail : static_cast<std::size_t>(pNewline - m_pPos);
        if (nTake > nHold - m_strLine.size()) {
            return GiveUpLine(strLine);
        }
        const char* pStart = m_pPos;
        if (pNewline == nullptr) {
            m_strLine.append(pStart, nTake);
            m_pPos = m_pEnd;
            continue;
        }
        m_pPos = pNewline + 1;
        const bool bCR = nTake > 0 && pStart[nTake - 1] == '\r';
        // Most lines lie whole in the chunk and are handed out where they are;
        // in a chunk of our own, the CR of a CR LF becomes the line's "\n".
        if (m_strLine.empty() && (!bCR || m_pMem == nullptr)) {
            if (nTake - (bCR ? 1 : 0) > m_nLineLimit) {
                return GiveUpLine(strLine);
            }
            if (bCR) {
                m_pBuffer[static_cast<std::size_t>(pStart - m_pBuffer.get()) + nTake - 1] = '\n';
            }
            strLine = std::string_view(pStart, bCR ? nTake : nTake + 1);
            return true;
        }
        m_strLine.append(pStart, nTake);
        if (!m_strLine.empty() && m_strLine.back() == '\r') {
            m_strLine.back() = '\n';
        } else {
            m_strLine.push_back('\n');
        }
        if (m_strLine.size() - 1 > m_nLineLimit) {
            return GiveUpLine(strLine);
        }
        strLine = m_strLine;
        return true;
    }
}

namespace {

// Beyond this many bytes a file is written on a second thread, in pieces of
// kHandOff bytes of text; smaller files, such as shortcuts, start none.
constexpr std::size_t kBackgroundAfter = std::size_t{1} << 20;
constexpr std::size_t kHandOff = std::size_t{1} << 18;

void AppendWindowsLines(std::string& strOut, std::string_view str) {
    for (std::size_t nStart = 0; nStart < str.size();) {
        const auto* pNewline =
            static_cast<const char*>(std::memchr(str.data() + nStart, '\n', str.size() - nStart));
        const std::size_t nEnd =
            pNewline != nullptr ? static_cast<std::size_t>(pNewline - str.data()) : str.size();
        strOut.append(str.data() + nStart, nEnd - nStart);
        if (pNewline != nullptr) {
            strOut += "\r\n";
        }
        nStart = nEnd + (pNewline != nullptr ? 1 : 0);
    }
}

}  // namespace

// The second thread: it takes whole pieces of text, at most two waiting, and
// hands them on with Windows line ends. After a failure it drops the rest.
class CTextFileWriter::CBackground {
public:
    explicit CBackground(CByteSink& sink) : m_sink(sink), m_thread([this] { Run(); }) {}
    ~CBackground() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bEnd = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    CBackground(const CBackground&) = delete;
    CBackground& operator=(const CBackground&) = delete;

    bool Failed() const { return m_bFailed.load(std::memory_order_relaxed); }

    // Takes the text and leaves strText empty, with the capacity of a piece
    // written before.
    void Push(std::string& strText) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting.size() < 2; });
        m_waiting.push_back(std::move(strText));
        if (!m_spare.empty()) {
            strText = std::move(m_spare.back());
            m_spare.pop_back();
        } else {
            strText = std::string();
        }
        lock.unlock();
        m_changed.notify_all();
    }

    // Waits until every piece given has been handed on; true when all were.
    bool Finish() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting.empty() && !m_bBusy; });
        return !Failed();
    }

private:
    void Run() {
        std::string strLines;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_bEnd || !m_waiting.empty(); });
            if (m_waiting.empty()) {
                return;
            }
            std::string strText = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_bBusy = true;
            // A writer destroyed without Close drops what it still held.
            const bool bDrop = m_bEnd;
            lock.unlock();
            m_changed.notify_all();
            if (!bDrop && !Failed()) {
                strLines.clear();
                AppendWindowsLines(strLines, strText);
                if (!m_sink.Write(strLines.data(), strLines.size())) {
                    m_bFailed.store(true, std::memory_order_relaxed);
                }
            }
            strText.clear();
            lock.lock();
            m_spare.push_back(std::move(strText));
            m_bBusy = false;
            m_changed.notify_all();
        }
    }

    CByteSink& m_sink;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_waiting;
    std::vector<std::string> m_spare;
    bool m_bBusy = false;
    bool m_bEnd = false;
    std::atomic<bool> m_bFailed{false};
    std::thread m_thread;  // last: it starts once everything it reads is made
};

CTextFileWriter::CTextFileWriter(CByteSink& sink) : m_sink(sink) {}

CTextFileWriter::~CTextFileWriter() = default;

void CTextFileWriter::WriteString(std::string_view str) {
    if (m_bFailed) {
        return;
    }
    if (m_pBackground) {
        m_strBuffer += str;
        if (m_strBuffer.size() >= kHandOff) {
            m_pBackground->Push(m_strBuffer);
            m_bFailed = m_pBackground->Failed();
        }
        return;
    }
    AppendWindowsLines(m_strBuffer, str);
    if (m_strBuffer.size() >= kChunk && !Drain()) {
        m_bFailed = true;
    }
    if (!m_bFailed && m_nDrained >= kBackgroundAfter) {
        m_pBackground = std::make_unique<CBackground>(m_sink);
        m_strBuffer.reserve(kHandOff + kChunk);
    }
}

bool CTextFileWriter::Drain() {
    const bool bWritten = m_sink.Write(m_strBuffer.data(), m_strBuffer.size());
    m_nDrained += m_strBuffer.size();
    m_strBuffer.clear();
    return bWritten;
}

bool CTextFileWriter::Close() {
    if (m_pBackground) {
        if (!m_bFailed && !m_strBuffer.empty()) {
            m_pBackground->Push(m_strBuffer);
        }
        m_bFailed = !m_pBackground->Finish();
        m_pBackground.reset();
    } else if (!m_bFailed && !m_strBuffer.empty() && !Drain()) {
        m_bFailed = true;
    }
    m_strBuffer.clear();
    return !m_bFailed;
}
