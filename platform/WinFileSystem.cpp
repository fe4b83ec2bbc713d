// The file-system services on Windows, through the ANSI calls. Paths that do
// not fit them (longer than MAX_PATH) are refused by the system, and so fail.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// The directory tree has a CreateFile of its own; the system's is called by
// its ANSI name.
#undef CreateFile

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/ContentHash.h"
#include "platform/FileSystem.h"
#include "platform/NoCase.h"
#include "platform/Path.h"

namespace {

constexpr std::size_t kCopyChunk = 1 << 16;
// WriteFile counts in a DWORD.
constexpr std::size_t kMaxWrite = 1u << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// 1970-01-01 in the 100 ns steps since 1601 that a FILETIME counts.
constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000ull;
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// What a new copy of a file takes over from the old one. Not the archive
// bit: the new content has not been backed up yet.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Closes the handle when it goes out of scope.
class CHandle {
public:
    explicit CHandle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(std::exchange(other.m_h, INVALID_HANDLE_VALUE)) {}
    CHandle& operator=(CHandle&& other) noexcept {
        Reset(std::exchange(other.m_h, INVALID_HANDLE_VALUE));
        return *this;
    }
    HANDLE Get() const { return m_h; }
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(m_h, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        Close();
        m_h = h;
    }
    // False when there was nothing to close or closing failed.
    bool Close() {
        const HANDLE h = Release();
        return h != INVALID_HANDLE_VALUE && CloseHandle(h) != 0;
    }

private:
    HANDLE m_h;
};

bool IsExistsError(DWORD nError) {
    return nError == ERROR_FILE_EXISTS || nError == ERROR_ALREADY_EXISTS;
}

bool IsMissingError(DWORD nError) {
    return nError == ERROR_FILE_NOT_FOUND || nError == ERROR_PATH_NOT_FOUND;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// As JoinPath, without doubling the separator of a drive's root.
std::string Join(const std::string& strDir, const std::string& strName) {
    return !strDir.empty() && IsSeparator(strDir.back()) ? strDir + strName
                                                         : JoinPath(strDir, strName);
}

bool WriteAll(HANDLE h, const char* pData, std::size_t nSize) {
    while (nSize > 0) {
        DWORD nWritten = 0;
        const auto nChunk = static_cast<DWORD>(nSize < kMaxWrite ? nSize : kMaxWrite);
        if (!WriteFile(h, pData, nChunk, &nWritten, nullptr) || nWritten == 0) {
            return false;
        }
        pData += nWritten;
        nSize -= nWritten;
    }
    return true;
}

// Hands every byte of the file, chunk by chunk, to take; false when a read
// fails or take refuses a chunk.
template <class TTake>
bool ReadChunks(HANDLE h, TTake take) {
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        DWORD nRead = 0;
        if (!ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &nRead, nullptr)) {
            return false;
        }
        if (nRead == 0) {
            return true;
        }
        if (!take(buffer.data(), static_cast<std::size_t>(nRead))) {
            return false;
        }
    }
}

std::uint64_t Ticks(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Rounded down, as POSIX times are, also before 1970.
std::optional<std::int64_t> UnixSeconds(const FILETIME& ft) {
    const std::uint64_t nTicks = Ticks(ft);
    if (nTicks == 0) {
        return std::nullopt;
    }
    if (nTicks >= kUnixEpoch) {
        return static_cast<std::int64_t>((nTicks - kUnixEpoch) / kTicksPerSecond);
    }
    return -static_cast<std::int64_t>((kUnixEpoch - nTicks + kTicksPerSecond - 1) /
                                      kTicksPerSecond);
}

// Wraps past the year 2262 instead of overflowing; stamps are only compared.
std::int64_t Nanoseconds(const FILETIME& ft) {
    return static_cast<std::int64_t>((Ticks(ft) - kUnixEpoch) * 100u);
}

CFileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return CFileId{info.dwVolumeSerialNumber,
                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// A file on disk, not a directory, nor a device that a name such as NUL opens.
bool IsRegularFile(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// For reading, while others go on reading, writing or renaming it; fails
// when someone holds the file without sharing it.
HANDLE OpenForReading(const std::string& strPath) {
    return CreateFileA(strPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Creates a file where nothing of the name stands; with the reparse flag a
// link to nowhere counts as standing there, and is not followed.
HANDLE CreateExclusive(const std::string& strPath) {
    return CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Why CreateExclusive failed: FILE_EXISTS also where a directory of the name
// made the system refuse access rather than report the name taken.
EFileResult CreateError(const std::string& strPath) {
    const DWORD nError = GetLastError();
    if (IsExistsError(nError) || (nError == ERROR_ACCESS_DENIED &&
                                  GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES)) {
        return FILE_EXISTS;
    }
    return FILE_FAILED;
}

// A directory held so that, without FILE_SHARE_DELETE, no one can rename or
// remove it meanwhile; nFlags may add FILE_FLAG_OPEN_REPARSE_POINT to open a
// link itself rather than where it leads.
HANDLE OpenDirectory(const std::string& strPath, DWORD nFlags) {
    return CreateFileA(strPath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | nFlags, nullptr);
}

// The absolute form of the path; false when it does not fit the ANSI calls.
bool FullPath(const std::string& strPath, std::string& strFull) {
    if (strPath.empty() || strPath.find('\0') != std::string::npos) {
        return false;
    }
    std::string strBuffer(MAX_PATH, '\0');
    const DWORD nLength = GetFullPathNameA(strPath.c_str(), static_cast<DWORD>(strBuffer.size()),
                                           strBuffer.data(), nullptr);
    if (nLength == 0 || nLength >= strBuffer.size()) {
        return false;
    }
    strBuffer.resize(nLength);
    strFull = std::move(strBuffer);
    return true;
}

// The path of an open file with every link resolved, without the \\?\ that
// the system puts before it.
bool FinalPath(HANDLE h, std::string& strPath) {
    std::string strBuffer(MAX_PATH + 8, '\0');
    const DWORD nLength =
        GetFinalPathNameByHandleA(h, strBuffer.data(), static_cast<DWORD>(strBuffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (nLength == 0 || nLength >= strBuffer.size()) {
        return false;
    }
    strBuffer.resize(nLength);
    if (strBuffer.starts_with("\\\\?\\UNC\\")) {
        strBuffer.replace(0, 8, "\\\\");
    } else if (strBuffer.starts_with("\\\\?\\")) {
        strBuffer.erase(0, 4);
    }
    if (strBuffer.size() >= MAX_PATH) {
        return false;
    }
    strPath = std::move(strBuffer);
    return true;
}

// A name that cannot lead anywhere but into its own directory. A colon
// would name a stream of a file, and the system drops a trailing dot or
// space, so that "a." would stand for "a".
bool IsSingleName(const std::string& strName) {
    return !strName.empty() && IsPlainName(strName) &&
           strName.find_first_of(std::string_view(":\0", 2)) == std::string::npos &&
           strName.back() != '.' && strName.back() != ' ';
}

class CWinReplacement : public CFileReplacement {
public:
    ~CWinReplacement() override {
        m_file.Close();
        if (!m_bInstalled && !m_strTemp.empty()) {
            DeleteFileA(m_strTemp.c_str());
        }
    }
    bool Begin(const std::string& strPath);
    const std::string& Target() const override { return m_strTarget; }
    bool Replaces() const override { return m_bReplaces; }
    bool Write(const char* pData, std::size_t nSize) override {
        return m_file.IsValid() && WriteAll(m_file.Get(), pData, nSize);
    }
    bool Flush() override {
        const bool bSynced = m_file.IsValid() && FlushFileBuffers(m_file.Get());
        return m_file.Close() && bSynced;
    }
    bool Install() override;

private:
    bool Replace();

    CHandle m_file;
    std::string m_strTarget;
    std::string m_strTemp;    // set once the file is ours
    DWORD m_nAttributes = 0;  // the old file's
    bool m_bReplaces = false;
    bool m_bInstalled = false;
};

bool CWinReplacement::Begin(const std::string& strPath) {
    std::string strFull;
    if (!FullPath(strPath, strFull)) {
        return false;
    }
    // The attributes of the name itself: a link shows as a reparse point.
    const DWORD nOwn = GetFileAttributesA(strFull.c_str());
    if (nOwn == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false;
        }
        m_strTarget = strFull;
    } else {
        // Links followed: a dangling one does not open.
        const CHandle file(CreateFileA(strFull.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file.IsValid() || !IsRegularFile(file.Get(), info)) {
            return false;
        }
        if ((nOwn & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            if (!FinalPath(file.Get(), m_strTarget)) {
                return false;
            }
        } else {
            m_strTarget = strFull;
        }
        m_nAttributes = info.dwFileAttributes;
        m_bReplaces = true;
    }
    const std::size_t nSep = m_strTarget.find_last_of("\\/");
    if (nSep == std::string::npos || nSep + 1 == m_strTarget.size()) {
        return false;
    }
    const std::string strDir = m_strTarget.substr(0, nSep + 1);
    const std::string strName = m_strTarget.substr(nSep + 1);
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::string strTemp = strDir + TempNameBeside(strName, GetCurrentProcessId());
        m_file.Reset(CreateExclusive(strTemp));
        if (m_file.IsValid()) {
            m_strTemp = strTemp;
            return true;
        }
        if (!IsExistsError(GetLastError())) {
            return false;
        }
    }
    return false;
}

// Puts the new file in the old one's place. ReplaceFile keeps the old one's
// security and streams; when it has let go of the old name without taking
// it, or the old file is gone, a plain rename puts the new file there.
bool CWinReplacement::Replace() {
    if (ReplaceFileA(m_strTarget.c_str(), m_strTemp.c_str(), nullptr, 0, nullptr, nullptr)) {
        return true;
    }
    const DWORD nError = GetLastError();
    return (nError == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
            nError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 || nError == ERROR_FILE_NOT_FOUND) &&
           MoveFileExA(m_strTemp.c_str(), m_strTarget.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool CWinReplacement::Install() {
    if (m_bInstalled || m_file.IsValid() || m_strTemp.empty()) {
        return false;
    }
    if (!m_bReplaces) {
        // Without MOVEFILE_REPLACE_EXISTING: a file that came meanwhile stays.
        m_bInstalled = MoveFileExA(m_strTemp.c_str(), m_strTarget.c_str(), MOVEFILE_WRITE_THROUGH);
        return m_bInstalled;
    }
    // Hidden or system from the first moment under the name. A read-only
    // file cannot be replaced: its flag is lifted for the move and put back
    // on whichever file holds the name afterwards.
    const DWORD nKept = (m_nAttributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (!SetFileAttributesA(m_strTemp.c_str(), nKept & ~FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    const DWORD nNow = GetFileAttributesA(m_strTarget.c_str());
    const bool bLifted = nNow != INVALID_FILE_ATTRIBUTES && (nNow & FILE_ATTRIBUTE_READONLY) != 0 &&
                         SetFileAttributesA(m_strTarget.c_str(), nNow & ~FILE_ATTRIBUTE_READONLY);
    if (!Replace()) {
        if (bLifted) {
            SetFileAttributesA(m_strTarget.c_str(), nNow);
        }
        return false;
    }
    m_bInstalled = true;
    // ReplaceFile may have given the new file the old one's attributes
    // without the read-only flag, or with the old archive bit; the content is
    // in place either way.
    SetFileAttributesA(m_strTarget.c_str(), nKept);
    return true;
}

// A rename that changes only letter case: the new name is the file's own.
// Not every file system makes the change in one step (Wine's keeps the old
// name and reports success), so it goes through a name of our own, and back
// when the second step fails.
EFileResult RenameCase(const std::string& strFrom, const std::string& strTo) {
    const std::size_t nSep = strFrom.find_last_of('\\');
    const std::string strDir = strFrom.substr(0, nSep + 1);
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::string strTemp =
            strDir + TempNameBeside(strFrom.substr(nSep + 1), GetCurrentProcessId());
        if (!MoveFileExA(strFrom.c_str(), strTemp.c_str(), 0)) {
            if (IsExistsError(GetLastError())) {
                continue;
            }
            return FILE_FAILED;
        }
        if (MoveFileExA(strTemp.c_str(), strTo.c_str(), 0)) {
            return FILE_OK;
        }
        const EFileResult result = IsExistsError(GetLastError()) ? FILE_EXISTS : FILE_FAILED;
        MoveFileExA(strTemp.c_str(), strFrom.c_str(), 0);
        return result;
    }
    return FILE_FAILED;
}

class CWinTree : public CDirectoryTree {
public:
    CWinTree(CHandle root, std::string strRoot)
        : m_root(std::move(root)), m_strRoot(std::move(strRoot)) {}
    std::size_t MakeDirectories(const std::vector<std::string>& parts,
                                bool& bCreateFailed) override {
        bCreateFailed = false;
        return Go(parts, true, bCreateFailed);
    }
    EFileResult CreateFile(const std::vector<std::string>& dirParts, const std::string& strName,
                           std::string_view bytes) override;
    bool RemoveFile(const std::vector<std::string>& dirParts, const std::string& strName) override {
        bool bIgnored = false;
        return IsSingleName(strName) && Go(dirParts, false, bIgnored) == dirParts.size() &&
               DeleteFileA(Join(Current(), strName).c_str());
    }
    EFileResult RenameFile(const std::vector<std::string>& dirParts, const std::string& strFrom,
                           const std::string& strTo) override {
        bool bIgnored = false;
        if (!IsSingleName(strFrom) || !IsSingleName(strTo) ||
            Go(dirParts, false, bIgnored) != dirParts.size()) {
            return FILE_FAILED;
        }
        const std::string strFromPath = Join(Current(), strFrom);
        const std::string strToPath = Join(Current(), strTo);
        if (EqualNoCase(strFrom, strTo)) {
            return RenameCase(strFromPath, strToPath);
        }
        // Without MOVEFILE_REPLACE_EXISTING: a taken name is never replaced.
        if (MoveFileExA(strFromPath.c_str(), strToPath.c_str(), 0)) {
            return FILE_OK;
        }
        return IsExistsError(GetLastError()) ? FILE_EXISTS : FILE_FAILED;
    }

private:
    // Makes the directory of the first parts the current one and returns how
    // many parts it reached. Every directory on the way is held open, so that
    // none of them can be moved and a path through them leads where the walk
    // went; the directories of the last call are kept as far as they match.
    std::size_t Go(const std::vector<std::string>& parts, bool bCreate, bool& bCreateFailed);
    const std::string& Current() const {
        return m_chain.empty() ? m_strRoot : m_chain.back().strPath;
    }

    struct CLevel {
        std::string strName;
        std::string strPath;
        CHandle dir;
    };
    CHandle m_root;  // held, so that the root stays where m_strRoot leads
    std::string m_strRoot;
    std::vector<CLevel> m_chain;  // the directories below the root down to the current one
};

std::size_t CWinTree::Go(const std::vector<std::string>& parts, bool bCreate, bool& bCreateFailed) {
    std::size_t nSame = 0;
    while (nSame < m_chain.size() && nSame < parts.size() &&
           m_chain[nSame].strName == parts[nSame]) {
        ++nSame;
    }
    m_chain.erase(m_chain.begin() + static_cast<std::ptrdiff_t>(nSame), m_chain.end());
    for (std::size_t i = m_chain.size(); i < parts.size(); ++i) {
        if (!IsSingleName(parts[i])) {
            return i;
        }
        const std::string strPath = Join(Current(), parts[i]);
        CHandle next(OpenDirectory(strPath, FILE_FLAG_OPEN_REPARSE_POINT));
        if (!next.IsValid() && IsMissingError(GetLastError()) && bCreate) {
            if (!CreateDirectoryA(strPath.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS) {
                bCreateFailed = true;
                return i;
            }
            next.Reset(OpenDirectory(strPath, FILE_FLAG_OPEN_REPARSE_POINT));
        }
        // A symbolic link or junction is not entered: it may lead out of the tree.
        BY_HANDLE_FILE_INFORMATION info{};
        if (!next.IsValid() || !GetFileInformationByHandle(next.Get(), &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                FILE_ATTRIBUTE_DIRECTORY) {
            return i;
        }
        m_chain.push_back(CLevel{parts[i], strPath, std::move(next)});
    }
    return parts.size();
}

EFileResult CWinTree::CreateFile(const std::vector<std::string>& dirParts,
                                 const std::string& strName, std::string_view bytes) {
    bool bIgnored = false;
    if (!IsSingleName(strName) || Go(dirParts, false, bIgnored) != dirParts.size()) {
        return FILE_FAILED;
    }
    const std::string strPath = Join(Current(), strName);
    CHandle file(CreateExclusive(strPath));
    if (!file.IsValid()) {
        return CreateError(strPath);
    }
    // A device name opens the device: nothing was created that could be removed.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return FILE_FAILED;
    }
    const bool bWritten = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (!file.Close() || !bWritten) {
        DeleteFileA(strPath.c_str());  // a cut-off shortcut is no shortcut
        return FILE_FAILED;
    }
    return FILE_OK;
}

class CWinFileSystem : public CFileSystem {
public:
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override;
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader, std::uint64_t nMaxSize,
                      CFileStamp* pStamp) override;
    std::int64_t CurrentTime() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    bool IsDirectory(const std::string& strPath) override;
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        const CHandle file(CreateFileA(strPath.c_str(), GENERIC_READ | (bWrite ? GENERIC_WRITE : 0),
                                       kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
        return file.IsValid();
    }
    EFileResult StampFile(const std::string& strPath, CFileStamp& stamp) override;
    std::unique_ptr<CFileReplacement> BeginReplace(const std::string& strPath) override {
        auto pReplacement = std::make_unique<CWinReplacement>();
        return pReplacement->Begin(strPath) ? std::move(pReplacement) : nullptr;
    }
    EFileResult KeepCopy(const std::string& strFrom, const std::string& strTo) override;
    bool RemoveFile(const std::string& strPath) override { return DeleteFileA(strPath.c_str()); }
    std::unique_ptr<CDirectoryTree> OpenTree(const std::string& strRoot) override;
};

bool CWinFileSystem::ListDirectory(const std::string& strDir, CDirListing& listing) {
    listing = CDirListing{};
    // The identity is that of where links lead, so that a loop shows as a
    // directory reached twice.
    const CHandle dir(CreateFileA(strDir.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!dir.IsValid() || !GetFileInformationByHandle(dir.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    listing.self = IdOf(info);
    WIN32_FIND_DATAA data{};
    const HANDLE hFind = FindFirstFileA(Join(strDir, "*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) {
        // A drive's root has no "." or "..": empty, it lists nothing at all.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const std::string strName = data.cFileName;
        if (strName == "." || strName == "..") {
            continue;
        }
        CDirEntry entry;
        entry.strName = strName;
        entry.strPath = Join(strDir, strName);
        // A link or junction to a directory is one, and is listed as one.
        entry.bDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.tCreated = UnixSeconds(data.ftCreationTime);
        entry.tAccessed = UnixSeconds(data.ftLastAccessTime);
        entry.tModified = UnixSeconds(data.ftLastWriteTime);
        listing.entries.push_back(std::move(entry));
    } while (FindNextFileA(hFind, &data));
    FindClose(hFind);
    return true;
}

bool CWinFileSystem::OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                                  std::uint64_t nMaxSize, CFileStamp* pStamp) {
    CHandle file(OpenForReading(strPath));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsValid() || !IsRegularFile(file.Get(), info) || SizeOf(info) > nMaxSize) {
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.Get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        return false;
    }
    file.Release();
    std::FILE* pFile = _fdopen(fd, "rb");
    if (pFile == nullptr) {
        _close(fd);
        return false;
    }
    reader.AttachFile(pFile);
    if (pStamp != nullptr) {
        *pStamp = CFileStamp{IdOf(info), SizeOf(info), Nanoseconds(info.ftLastWriteTime), 0};
    }
    return true;
}

bool CWinFileSystem::IsDirectory(const std::string& strPath) {
    // A wildcard would make FindFirstFile report on whatever matches it.
    if (strPath.empty() || strPath.find_first_of("*?") != std::string::npos) {
        return false;
    }
    // FindFirstFile finds no entry for a drive or a path ending in a separator.
    if (IsSeparator(strPath.back()) || strPath.back() == ':') {
        const DWORD nAttributes = GetFileAttributesA(strPath.c_str());
        return nAttributes != INVALID_FILE_ATTRIBUTES &&
               (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    WIN32_FIND_DATAA data{};
    const HANDLE hFind = FindFirstFileA(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(hFind);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

EFileResult CWinFileSystem::StampFile(const std::string& strPath, CFileStamp& stamp) {
    const CHandle file(OpenForReading(strPath));
    if (!file.IsValid()) {
        return IsMissingError(GetLastError()) ? FILE_MISSING : FILE_FAILED;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!IsRegularFile(file.Get(), info)) {
        return FILE_FAILED;
    }
    CContentHash hash;
    if (!ReadChunks(file.Get(), [&hash](const char* pData, std::size_t nSize) {
            hash.Update(pData, nSize);
            return true;
        })) {
        return FILE_FAILED;
    }
    stamp = CFileStamp{IdOf(info), SizeOf(info), Nanoseconds(info.ftLastWriteTime), hash.Value()};
    return FILE_OK;
}

EFileResult CWinFileSystem::KeepCopy(const std::string& strFrom, const std::string& strTo) {
    if (CreateHardLinkA(strTo.c_str(), strFrom.c_str(), nullptr)) {
        return FILE_OK;
    }
    if (IsExistsError(GetLastError())) {
        return FILE_EXISTS;
    }
    // No hard link here (FAT, too many links, no right to make one): a copy,
    // created where nothing stands, with the original's attributes, and
    // removed again unless it is whole and on disk. Copied here rather than
    // by CopyFile, to know that a file left by a failure is ours to remove.
    const CHandle from(OpenForReading(strFrom));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!from.IsValid() || !IsRegularFile(from.Get(), info)) {
        return FILE_FAILED;
    }
    CHandle to(CreateExclusive(strTo));
    if (!to.IsValid()) {
        return CreateError(strTo);
    }
    if (GetFileType(to.Get()) != FILE_TYPE_DISK) {
        return FILE_FAILED;
    }
    const bool bCopied = ReadChunks(from.Get(),
                                    [&to](const char* pData, std::size_t nSize) {
                                        return WriteAll(to.Get(), pData, nSize);
                                    }) &&
                         FlushFileBuffers(to.Get());
    const DWORD nKept = (info.dwFileAttributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (!to.Close() || !bCopied || !SetFileAttributesA(strTo.c_str(), nKept)) {
        DeleteFileA(strTo.c_str());
        return FILE_FAILED;
    }
    return FILE_OK;
}

std::unique_ptr<CDirectoryTree> CWinFileSystem::OpenTree(const std::string& strRoot) {
    std::string strFull;
    if (!FullPath(strRoot, strFull)) {
        return nullptr;
    }
    CHandle root(OpenDirectory(strFull, 0));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!root.IsValid() || !GetFileInformationByHandle(root.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return nullptr;
    }
    // Paths below the root start from where its links lead now, so that a
    // link changed later cannot take them elsewhere; a volume without a
    // drive letter has no such path and keeps the one given.
    std::string strReal;
    if (!FinalPath(root.Get(), strReal)) {
        strReal = strFull;
    }
    return std::make_unique<CWinTree>(std::move(root), std::move(strReal));
}

}  // namespace

CFileSystem& GetFileSystem() {
    static CWinFileSystem s_fileSystem;
    return s_fileSystem;
}
