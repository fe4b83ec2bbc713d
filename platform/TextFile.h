// Text files as Windows keeps them: reading turns CR LF into "\n" (a lone CR
// stays), writing turns every "\n" into CR LF.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ContentHash.h"

class CTextFileReader {
public:
    CTextFileReader() = default;
    ~CTextFileReader() { Close(); }
    CTextFileReader(const CTextFileReader&) = delete;
    CTextFileReader& operator=(const CTextFileReader&) = delete;

    // Takes over an open stream and closes it when done.
    void AttachFile(std::FILE* pFile);
#ifndef _WIN32
    // Takes over an open file descriptor and closes it when done. nSize is
    // what the file held when it was opened: a small file is read into a
    // buffer of its own size.
    void AttachDescriptor(int fd, std::uint64_t nSize);
#endif
    // Reads from memory that must outlive the reader.
    void AttachMemory(const char* pData, std::size_t nSize);
    void Close();
    bool IsOpen() const {
        return m_pFile != nullptr || m_fd >= 0 || m_pMem != nullptr;
    }

    // Reads one line, keeping its "\n" when it has one. False at the end of the
    // input, when nothing is left to read, and from a line longer than the limit on.
    bool ReadLine(std::string& strLine);
    // The same, without a copy: the line stays valid until the next read or
    // until the reader is attached anew or closed.
    bool ReadLine(std::string_view& strLine);

    static constexpr std::size_t kNoLineLimit = static_cast<std::size_t>(-1);
    // Lines longer than nMax bytes, without their line end, are not read: no
    // more than about nMax bytes of such a line are held. No limit by default.
    void SetLineLimit(std::size_t nMax) {
        m_nLineLimit = nMax;
    }
    // A line over the limit ended the reading; reset by Close and by attaching.
    bool LineTooLong() const {
        return m_bTooLong;
    }
    // The CContentHash of every byte read from the file so far.
    std::uint64_t ContentHash() const {
        return m_hash.Value();
    }

    // A file attached by its descriptor can be read in two parts at once, by
    // this reader and a second one. False for other inputs.
    bool CanSplit() const {
        return m_fd >= 0 && !m_bPread;
    }
    // The bytes read from the file so far, and its size when it was attached.
    std::uint64_t Offset() const {
        return m_nOffset;
    }
    std::uint64_t FileSize() const {
        return m_nFileSize;
    }
    // Up to nSize bytes of the file from nOffset, without moving the reader.
    std::size_t Peek(std::uint64_t nOffset, char* pData, std::size_t nSize) const;
    // The first part ends before nSplit; bytes from nHashSplit on, a multiple
    // of CContentHash::kBlock that no read has passed, are left to the second.
    void EndAt(std::uint64_t nSplit, std::uint64_t nHashSplit);
    // The second part: the text of the first reader's file from nSplit to its
    // end, hashed from nHashSplit. The first reader keeps the file open.
    void AttachRest(const CTextFileReader& first, std::uint64_t nSplit, std::uint64_t nHashSplit);
    // Takes in the hash of the second part, once both are read.
    void JoinHash(const CTextFileReader& rest) {
        m_hash.Join(rest.m_hash);
    }

private:
    bool Fill();
    bool GiveUpLine(std::string_view& strLine);
    void ReserveBuffer(std::size_t nSize);

    std::FILE* m_pFile = nullptr;
    int m_fd = -1;
    const char* m_pMem = nullptr;
    // The chunk read last; kept from one file to the next.
    std::unique_ptr<char[]> m_pBuffer;
    std::size_t m_nBufferSize = 0;
    const char* m_pPos = nullptr;
    const char* m_pEnd = nullptr;
    // A line that did not lie whole in one chunk, or that had to be changed
    // where the bytes cannot be.
    std::string m_strLine;
    std::size_t m_nLineLimit = kNoLineLimit;
    bool m_bTooLong = false;
    CContentHash m_hash;
    // Where the file is read from next; no byte is read from m_nReadEnd on,
    // none hashed from m_nHashEnd on, and those before m_nTextFrom are no text.
    std::uint64_t m_nOffset = 0;
    std::uint64_t m_nReadEnd = kNoEnd;
    std::uint64_t m_nHashEnd = kNoEnd;
    std::uint64_t m_nTextFrom = 0;
    std::uint64_t m_nFileSize = 0;
    bool m_bPread = false;  // a second part, which reads the first one's descriptor

    static constexpr std::uint64_t kNoEnd = static_cast<std::uint64_t>(-1);
};

// Where the bytes of a file being written go.
class CByteSink {
public:
    virtual ~CByteSink() = default;
    // False when not every byte could be taken.
    virtual bool Write(const char* pData, std::size_t nSize) = 0;
};

// Bytes kept in memory.
class CStringSink : public CByteSink {
public:
    std::string m_strBytes;
    bool Write(const char* pData, std::size_t nSize) override {
        m_strBytes.append(pData, nSize);
        return true;
    }
};

// Text written as a Windows text file into a sink. Once a file has grown
// large, its line ends are turned and its bytes handed to the sink on a
// second thread, in order, while the caller makes the text that follows.
class CTextFileWriter {
public:
    explicit CTextFileWriter(CByteSink& sink);
    // Without Close, what is still buffered is dropped.
    ~CTextFileWriter();
    CTextFileWriter(const CTextFileWriter&) = delete;
    CTextFileWriter& operator=(const CTextFileWriter&) = delete;

    // A failed write is remembered and reported by Close.
    void WriteString(std::string_view str);
    // Hands on what is still buffered. True when every byte reached the sink.
    bool Close();

private:
    class CBackground;

    bool Drain();

    CByteSink& m_sink;
    std::string m_strBuffer;  // with Windows line ends; the text as given once in the background
    std::size_t m_nDrained = 0;
    bool m_bFailed = false;
    std::unique_ptr<CBackground> m_pBackground;
};
