// Text files as Windows keeps them: reading turns CR LF into "\n" (a lone CR
// stays), writing turns every "\n" into CR LF.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CTextFileReader {
public:
    CTextFileReader() = default;
    ~CTextFileReader() { Close(); }
    CTextFileReader(const CTextFileReader&) = delete;
    CTextFileReader& operator=(const CTextFileReader&) = delete;

    // Takes over an open stream and closes it when done.
    void AttachFile(std::FILE* pFile);
    // Reads from memory that must outlive the reader.
    void AttachMemory(const char* pData, std::size_t nSize);
    void Close();
    bool IsOpen() const { return m_pFile != nullptr || m_pMem != nullptr; }

    // Reads one line, whatever its length, keeping its "\n" when it has one.
    // False at the end of the input, when nothing is left to read.
    bool ReadLine(std::string& strLine);

private:
    bool Fill();

    std::FILE* m_pFile = nullptr;
    const char* m_pMem = nullptr;
    std::vector<char> m_buffer;
    const char* m_pPos = nullptr;
    const char* m_pEnd = nullptr;
};

class CTextFileWriter {
public:
    CTextFileWriter() = default;
    ~CTextFileWriter();
    CTextFileWriter(const CTextFileWriter&) = delete;
    CTextFileWriter& operator=(const CTextFileWriter&) = delete;

    // Creates the file or empties an existing one.
    bool Open(const std::string& strPath);
    bool IsOpen() const { return m_pFile != nullptr; }
    // A failed write is remembered and reported by Close.
    void WriteString(std::string_view str);
    // True when every byte reached the file.
    bool Close();

private:
    std::FILE* m_pFile = nullptr;
    bool m_bFailed = false;
};
