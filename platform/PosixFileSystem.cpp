#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "platform/ContentHash.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Worker.h"

namespace {

constexpr std::size_t kCopyChunk = 1 << 16;
// Files from this size on are hashed by two threads.
constexpr std::uint64_t kParallelHash = std::uint64_t{16} << 20;

// Closes the descriptor when it goes out of scope.
class CFd {
public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* pData, std::size_t nSize) {
    while (nSize > 0) {
        const ssize_t n = write(fd, pData, nSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        pData += n;
        nSize -= static_cast<std::size_t>(n);
    }
    return true;
}

constexpr std::uint64_t kToEnd = std::numeric_limits<std::uint64_t>::max();

// Hands the bytes of the file from nFrom to nTo, or to its end, chunk by
// chunk, to take; false when a read fails or take refuses a chunk. It reads
// at offsets, so that two threads can share the descriptor.
template <class TTake>
bool ReadChunks(int fd, std::uint64_t nFrom, std::uint64_t nTo, TTake take) {
    std::vector<char> buffer(kCopyChunk);
    while (nFrom < nTo) {
        const auto nWant =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), nTo - nFrom));
        const ssize_t n = pread(fd, buffer.data(), nWant, static_cast<off_t>(nFrom));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (!take(buffer.data(), static_cast<std::size_t>(n))) {
            return false;
        }
        nFrom += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool HashChunks(int fd, std::uint64_t nFrom, std::uint64_t nTo, CContentHash& hash) {
    return ReadChunks(fd, nFrom, nTo, [&hash](const char* pData, std::size_t nSize) {
        hash.Update(pData, nSize);
        return true;
    });
}

std::int64_t Nanoseconds(const timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

CFileId IdOf(const struct stat& st) {
    return CFileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Opens a path of any length: one longer than the system takes whole is
// opened a directory at a time, links followed as open would follow them.
int OpenPath(const std::string& strPath, int nFlags) {
    if (strPath.size() < PATH_MAX) {
        return open(strPath.c_str(), nFlags | O_CLOEXEC);
    }
    CFd dir(open(strPath[0] == '/' ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t nStart = 0;
    for (;;) {
        while (nStart < strPath.size() && strPath[nStart] == '/') {
            ++nStart;
        }
        const std::size_t nSep = strPath.find('/', nStart);
        const std::string strPart = strPath.substr(nStart, nSep - nStart);
        if (nSep == std::string::npos ||
            strPath.find_first_not_of('/', nSep) == std::string::npos) {
            return dir.Get() < 0 ? -1 : openat(dir.Get(), strPart.c_str(), nFlags | O_CLOEXEC);
        }
        if (dir.Get() < 0) {
            return -1;
        }
        dir.Reset(openat(dir.Get(), strPart.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        nStart = nSep + 1;
    }
}

// A name that cannot lead anywhere but into its own directory.
bool IsSingleName(const std::string& strName) {
    return !strName.empty() && IsPlainName(strName) && strName.find('\0') == std::string::npos;
}

// Renames without replacing: FILE_EXISTS when the new name is taken. File
// systems without the flag get a hard link and an unlink instead.
EFileResult RenameNoReplace(int nFromDir, const char* pszFrom, int nToDir, const char* pszTo) {
    if (renameat2(nFromDir, pszFrom, nToDir, pszTo, RENAME_NOREPLACE) == 0) {
        return FILE_OK;
    }
    if (errno == EEXIST) {
        return FILE_EXISTS;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return FILE_FAILED;
    }
    if (linkat(nFromDir, pszFrom, nToDir, pszTo, 0) != 0) {
        return errno == EEXIST ? FILE_EXISTS : FILE_FAILED;
    }
    unlinkat(nFromDir, pszFrom, 0);
    return FILE_OK;
}

// The real path that a file's name stands for; a file that does not exist yet
// lies in its directory's real path. False for a dangling link, whose target
// is not followed.
bool ResolvePath(const std::string& strPath, std::string& strTarget) {
    if (char* pszReal = realpath(strPath.c_str(), nullptr)) {
        strTarget = pszReal;
        std::free(pszReal);
        return true;
    }
    struct stat st {};
    if (errno != ENOENT || lstat(strPath.c_str(), &st) == 0) {
        return false;
    }
    const std::size_t nSep = strPath.rfind('/');
    const std::string strDir = nSep == std::string::npos ? "." : strPath.substr(0, nSep + 1);
    const std::string strName = nSep == std::string::npos ? strPath : strPath.substr(nSep + 1);
    char* pszDir = realpath(strDir.c_str(), nullptr);
    if (pszDir == nullptr || !IsSingleName(strName)) {
        std::free(pszDir);
        return false;
    }
    strTarget = pszDir;
    std::free(pszDir);
    strTarget = (strTarget == "/" ? "" : strTarget) + "/" + strName;
    return true;
}

class CPosixReplacement : public CFileReplacement {
public:
    ~CPosixReplacement() override {
        m_file.Reset();
        if (!m_bInstalled && m_dir.Get() >= 0 && !m_strTemp.empty()) {
            unlinkat(m_dir.Get(), m_strTemp.c_str(), 0);
        }
    }
    bool Begin(const std::string& strPath);
    const std::string& Target() const override { return m_strTarget; }
    bool Replaces() const override { return m_bReplaces; }
    bool Write(const char* pData, std::size_t nSize) override {
        if (m_file.Get() < 0 || !WriteAll(m_file.Get(), pData, nSize)) {
            return false;
        }
        m_nWritten += nSize;
#if defined(__linux__)
        // The disk starts on what is written while the rest is made, so that
        // Flush waits for little more than the last piece. Only a hint: Flush
        // tells whether the bytes arrived.
        if (m_nWritten - m_nStarted >= kWritebackStep) {
            sync_file_range(m_file.Get(), static_cast<off_t>(m_nStarted),
                            static_cast<off_t>(m_nWritten - m_nStarted), SYNC_FILE_RANGE_WRITE);
            m_nStarted = m_nWritten;
        }
#endif
        return true;
    }
    bool Flush() override {
        const bool bSynced = m_file.Get() >= 0 && fsync(m_file.Get()) == 0;
        return close(m_file.Release()) == 0 && bSynced;
    }
    bool Install() override;

private:
    static constexpr std::uint64_t kWritebackStep = std::uint64_t{4} << 20;

    CFd m_dir;
    CFd m_file;
    std::string m_strTarget, m_strName, m_strTemp;
    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nStarted = 0;  // bytes handed to the disk's writeback
    bool m_bReplaces = false;
    bool m_bInstalled = false;
};

bool CPosixReplacement::Begin(const std::string& strPath) {
    if (!ResolvePath(strPath, m_strTarget)) {
        return false;
    }
    const std::size_t nSep = m_strTarget.rfind('/');
    m_strName = m_strTarget.substr(nSep + 1);
    m_dir.Reset(OpenPath(nSep == 0 ? "/" : m_strTarget.substr(0, nSep), O_RDONLY | O_DIRECTORY));
    if (m_dir.Get() < 0) {
        return false;
    }
    struct stat st {};
    if (fstatat(m_dir.Get(), m_strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return false;
        }
        m_bReplaces = true;
    } else if (errno != ENOENT) {
        return false;
    }
    // A file that replaces another is readable by no one else until it has the
    // old one's owner and mode; a new one gets the usual mode at once.
    // The name is ours to remove only once we made the file.
    for (int nTry = 0; nTry < 100 && m_file.Get() < 0; ++nTry) {
        const std::string strTemp = TempNameBeside(m_strName, getpid());
        m_file.Reset(openat(m_dir.Get(), strTemp.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            m_bReplaces ? 0600 : 0666));
        if (m_file.Get() >= 0) {
            m_strTemp = strTemp;
        } else if (errno != EEXIST) {
            return false;
        }
    }
    if (m_file.Get() < 0 || !m_bReplaces) {
        return m_file.Get() >= 0;
    }
    // The owner and group stay where this user may set them; a group that
    // cannot be kept gets none of the old group's rights.
    mode_t nMode = st.st_mode & 07777;
    if (fchown(m_file.Get(), st.st_uid, st.st_gid) != 0 &&
        fchown(m_file.Get(), static_cast<uid_t>(-1), st.st_gid) != 0) {
        nMode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);
    }
    return fchmod(m_file.Get(), nMode) == 0;
}

bool CPosixReplacement::Install() {
    if (m_bInstalled || m_file.Get() >= 0) {
        return false;
    }
    const bool bRenamed =
        m_bReplaces ? renameat(m_dir.Get(), m_strTemp.c_str(), m_dir.Get(), m_strName.c_str()) == 0
                    : RenameNoReplace(m_dir.Get(), m_strTemp.c_str(), m_dir.Get(),
                                      m_strName.c_str()) == FILE_OK;
    if (!bRenamed) {
        return false;
    }
    m_bInstalled = true;
    // The new name, and a backup linked just before, survive a power cut.
    fsync(m_dir.Get());
    return true;
}

class CPosixTree : public CDirectoryTree {
public:
    explicit CPosixTree(int nRoot) : m_root(nRoot), m_current(dup(nRoot)) {
        struct stat st {};
        fstat(nRoot, &st);
        m_rootId = IdOf(st);
    }
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
               unlinkat(m_current.Get(), strName.c_str(), 0) == 0;
    }
    EFileResult RenameFile(const std::vector<std::string>& dirParts, const std::string& strFrom,
                           const std::string& strTo) override {
        bool bIgnored = false;
        if (!IsSingleName(strFrom) || !IsSingleName(strTo) ||
            Go(dirParts, false, bIgnored) != dirParts.size()) {
            return FILE_FAILED;
        }
        return RenameNoReplace(m_current.Get(), strFrom.c_str(), m_current.Get(), strTo.c_str());
    }

private:
    // Makes the directory of the first parts the current one and returns how
    // many parts it reached. The directory of the last call is kept, and a walk
    // goes up by ".." only as far as the two paths differ, checking that each
    // level is the directory it came down through; so a run of calls in tree
    // order costs what the tree's size does, not its depth for every call.
    std::size_t Go(const std::vector<std::string>& parts, bool bCreate, bool& bCreateFailed);
    void BackToRoot() {
        m_current.Reset(dup(m_root.Get()));
        m_chain.clear();
    }

    struct CLevel {
        std::string strName;
        CFileId id;
    };
    CFd m_root;
    CFd m_current;
    CFileId m_rootId;
    std::vector<CLevel> m_chain;  // the names below the root of the current directory
};

std::size_t CPosixTree::Go(const std::vector<std::string>& parts, bool bCreate,
                           bool& bCreateFailed) {
    std::size_t nSame = 0;
    while (nSame < m_chain.size() && nSame < parts.size() &&
           m_chain[nSame].strName == parts[nSame]) {
        ++nSame;
    }
    while (m_chain.size() > nSame) {
        CFd up(openat(m_current.Get(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const CFileId expected = m_chain.size() > 1 ? m_chain[m_chain.size() - 2].id : m_rootId;
        struct stat st {};
        if (up.Get() < 0 || fstat(up.Get(), &st) != 0 || IdOf(st) != expected) {
            BackToRoot();  // something moved: start again from the root
            break;
        }
        m_current.Reset(up.Release());
        m_chain.pop_back();
    }
    for (std::size_t i = m_chain.size(); i < parts.size(); ++i) {
        if (m_current.Get() < 0 || !IsSingleName(parts[i])) {
            return i;
        }
        const char* pszName = parts[i].c_str();
        const int nFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        CFd next(openat(m_current.Get(), pszName, nFlags));
        if (next.Get() < 0 && errno == ENOENT && bCreate) {
            if (mkdirat(m_current.Get(), pszName, 0777) != 0 && errno != EEXIST) {
                bCreateFailed = true;
                return i;
            }
            next.Reset(openat(m_current.Get(), pszName, nFlags));
        }
        struct stat st {};
        if (next.Get() < 0 || fstat(next.Get(), &st) != 0) {
            return i;
        }
        m_current.Reset(next.Release());
        m_chain.push_back(CLevel{parts[i], IdOf(st)});
    }
    return parts.size();
}

EFileResult CPosixTree::CreateFile(const std::vector<std::string>& dirParts,
                                   const std::string& strName, std::string_view bytes) {
    bool bIgnored = false;
    if (!IsSingleName(strName) || Go(dirParts, false, bIgnored) != dirParts.size()) {
        return FILE_FAILED;
    }
    // O_EXCL refuses any entry of the name, a link to nowhere included.
    CFd file(openat(m_current.Get(), strName.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.Get() < 0) {
        return errno == EEXIST ? FILE_EXISTS : FILE_FAILED;
    }
    if (!WriteAll(file.Get(), bytes.data(), bytes.size()) || close(file.Release()) != 0) {
        unlinkat(m_current.Get(), strName.c_str(), 0);  // a cut-off shortcut is no shortcut
        return FILE_FAILED;
    }
    return FILE_OK;
}

class CPosixFileSystem : public CFileSystem {
public:
    // A file-size limit makes write fail rather than end the process.
    CPosixFileSystem() { std::signal(SIGXFSZ, SIG_IGN); }
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override;
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader, std::uint64_t nMaxSize,
                      CFileStamp* pStamp) override;
    bool OpenListedFile(const CDirListing& listing, CDirEntry& entry, CTextFileReader& reader,
                        std::uint64_t nMaxSize) override;
    std::int64_t CurrentTime() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    bool IsDirectory(const std::string& strPath) override {
        struct stat st {};
        return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        const CFd fd(open(strPath.c_str(), (bWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC));
        return fd.Get() >= 0;
    }
    EFileResult StampFile(const std::string& strPath, CFileStamp& stamp) override;
    std::unique_ptr<CFileReplacement> BeginReplace(const std::string& strPath) override {
        auto pReplacement = std::make_unique<CPosixReplacement>();
        return pReplacement->Begin(strPath) ? std::move(pReplacement) : nullptr;
    }
    EFileResult KeepCopy(const std::string& strFrom, const std::string& strTo) override;
    bool RemoveFile(const std::string& strPath) override { return unlink(strPath.c_str()) == 0; }
    std::unique_ptr<CDirectoryTree> OpenTree(const std::string& strRoot) override {
        const int fd = OpenPath(strRoot, O_RDONLY | O_DIRECTORY);
        return fd < 0 ? nullptr : std::make_unique<CPosixTree>(fd);
    }
};

constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

void TakeTimes(const struct statx& stx, CDirEntry& entry) {
    if (stx.stx_mask & STATX_ATIME) {
        entry.tAccessed = stx.stx_atime.tv_sec;
    }
    if (stx.stx_mask & STATX_MTIME) {
        entry.tModified = stx.stx_mtime.tv_sec;
    }
    if (stx.stx_mask & STATX_BTIME) {
        entry.tCreated = stx.stx_btime.tv_sec;
    } else if (stx.stx_mask & STATX_CTIME) {
        entry.tCreated = stx.stx_ctime.tv_sec;
    }
}

// Fills the entry from statx; links are followed, and a dangling link is
// described by the link itself.
void DescribeEntry(int nDirFd, const char* pszName, CDirEntry& entry) {
    struct statx stx {};
    if (statx(nDirFd, pszName, AT_STATX_SYNC_AS_STAT, kStatxMask, &stx) != 0 &&
        statx(nDirFd, pszName, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, kStatxMask, &stx) !=
            0) {
        return;
    }
    entry.bDirectory = S_ISDIR(stx.stx_mode);
    TakeTimes(stx, entry);
}

bool CPosixFileSystem::ListDirectory(const std::string& strDir, CDirListing& listing) {
    listing = CDirListing{};
    CFd fd(OpenPath(strDir, O_RDONLY | O_DIRECTORY));
    DIR* pDir = fd.Get() < 0 ? nullptr : fdopendir(fd.Get());
    if (pDir == nullptr) {
        return false;
    }
    fd.Release();
    // Kept open for OpenListedFile until the listing goes.
    listing.pDirectory =
        std::shared_ptr<void>(pDir, [](void* p) { closedir(static_cast<DIR*>(p)); });
    struct stat st {};
    if (fstat(dirfd(pDir), &st) == 0) {
        listing.self = IdOf(st);
    }
    while (const dirent* pEnt = readdir(pDir)) {
        if (std::strcmp(pEnt->d_name, ".") == 0 || std::strcmp(pEnt->d_name, "..") == 0) {
            continue;
        }
        CDirEntry entry;
        entry.strName = pEnt->d_name;
        entry.strPath = JoinPath(strDir, entry.strName);
        // A regular file is described once it is opened, which saves a
        // search for its name; anything else may be a link, and is looked at.
        if (pEnt->d_type == DT_REG) {
            entry.bDescribed = false;
        } else {
            DescribeEntry(dirfd(pDir), pEnt->d_name, entry);
        }
        listing.entries.push_back(std::move(entry));
    }
    return true;
}

bool CPosixFileSystem::OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                                    std::uint64_t nMaxSize, CFileStamp* pStamp) {
    // Non-blocking, so that a named pipe in the tree cannot stall the reader.
    CFd fd(OpenPath(strPath, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > nMaxSize) {
        return false;
    }
    reader.AttachDescriptor(fd.Release(), static_cast<std::uint64_t>(st.st_size));
    if (pStamp != nullptr) {
        *pStamp = CFileStamp{IdOf(st), static_cast<std::uint64_t>(st.st_size),
                             Nanoseconds(st.st_mtim), 0};
    }
    return true;
}

bool CPosixFileSystem::OpenListedFile(const CDirListing& listing, CDirEntry& entry,
                                      CTextFileReader& reader, std::uint64_t nMaxSize) {
    // The access time is the shortcut's last visit: reading it must not move
    // that. Only the file's owner may ask so; anyone else reads it plainly.
    const auto open = [&](int nFlags) {
        return listing.pDirectory == nullptr
                   ? OpenPath(entry.strPath, nFlags)
                   : openat(dirfd(static_cast<DIR*>(listing.pDirectory.get())),
                            entry.strName.c_str(), nFlags | O_CLOEXEC);
    };
    CFd fd(open(O_RDONLY | O_NONBLOCK | O_NOATIME));
    if (fd.Get() < 0 && errno == EPERM) {
        fd.Reset(open(O_RDONLY | O_NONBLOCK));
    }
    struct statx stx {};
    if (fd.Get() < 0 ||
        statx(fd.Get(), "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, kStatxMask, &stx) != 0 ||
        !S_ISREG(stx.stx_mode) || stx.stx_size > nMaxSize) {
        return false;
    }
    if (!entry.bDescribed) {
        TakeTimes(stx, entry);
        entry.bDescribed = true;
    }
    reader.AttachDescriptor(fd.Release(), stx.stx_size);
    return true;
}

EFileResult CPosixFileSystem::StampFile(const std::string& strPath, CFileStamp& stamp) {
    CFd fd(OpenPath(strPath, O_RDONLY | O_NONBLOCK));
    if (fd.Get() < 0) {
        return errno == ENOENT ? FILE_MISSING : FILE_FAILED;
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return FILE_FAILED;
    }
    // A large file is hashed in two parts at once, the second on the worker.
    CContentHash hash;
    const auto nSize = static_cast<std::uint64_t>(st.st_size);
    if (nSize < kParallelHash) {
        if (!HashChunks(fd.Get(), 0, kToEnd, hash)) {
            return FILE_FAILED;
        }
    } else {
        const std::uint64_t nSplit = nSize / 2 / CContentHash::kBlock * CContentHash::kBlock;
        CContentHash upper(nSplit);
        bool bUpper = false;
        bool bLower = false;
        CWorker::RunBeside([&] { bUpper = HashChunks(fd.Get(), nSplit, kToEnd, upper); },
                           [&] { bLower = HashChunks(fd.Get(), 0, nSplit, hash); });
        if (!bLower || !bUpper) {
            return FILE_FAILED;
        }
        hash.Join(upper);
    }
    stamp = CFileStamp{IdOf(st), static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
                       hash.Value()};
    return FILE_OK;
}

EFileResult CPosixFileSystem::KeepCopy(const std::string& strFrom, const std::string& strTo) {
    if (link(strFrom.c_str(), strTo.c_str()) == 0) {
        return FILE_OK;
    }
    if (errno == EEXIST) {
        return FILE_EXISTS;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != EXDEV &&
        errno != ENOSYS) {
        return FILE_FAILED;
    }
    // No hard links here: a copy, created where nothing stands, with the
    // original's mode, and removed again unless it is whole and on disk.
    CFd from(open(strFrom.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (from.Get() < 0 || fstat(from.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return FILE_FAILED;
    }
    CFd to(open(strTo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (to.Get() < 0) {
        return errno == EEXIST ? FILE_EXISTS : FILE_FAILED;
    }
    const bool bCopied = fchmod(to.Get(), st.st_mode & 07777) == 0 &&
                         ReadChunks(from.Get(), 0, kToEnd,
                                    [&to](const char* pData, std::size_t nSize) {
                                        return WriteAll(to.Get(), pData, nSize);
                                    }) &&
                         fsync(to.Get()) == 0;
    if (close(to.Release()) != 0 || !bCopied) {
        unlink(strTo.c_str());
        return FILE_FAILED;
    }
    return FILE_OK;
}

}  // namespace

CFileSystem& GetFileSystem() {
    static CPosixFileSystem s_fileSystem;
    return s_fileSystem;
}
