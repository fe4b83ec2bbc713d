#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace {

class CPosixFileSystem : public CFileSystem {
public:
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override;
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                      std::uint64_t nMaxSize) override;
    std::int64_t CurrentTime() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    bool IsDirectory(const std::string& strPath) override {
        struct stat st {};
        return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    bool Exists(const std::string& strPath) override {
        struct stat st {};
        return lstat(strPath.c_str(), &st) == 0;
    }
    bool CreateDirectory(const std::string& strPath) override {
        return mkdir(strPath.c_str(), 0777) == 0;
    }
    bool RemoveFile(const std::string& strPath) override { return unlink(strPath.c_str()) == 0; }
    bool RenameFile(const std::string& strFrom, const std::string& strTo) override;
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        const int fd = open(strPath.c_str(), (bWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        close(fd);
        return true;
    }
};

// Fills the entry from statx; links are followed, and a dangling link is
// described by the link itself.
void DescribeEntry(int nDirFd, const char* pszName, CDirEntry& entry) {
    struct statx stx {};
    const unsigned nMask = STATX_BASIC_STATS | STATX_BTIME;
    if (statx(nDirFd, pszName, AT_STATX_SYNC_AS_STAT, nMask, &stx) != 0 &&
        statx(nDirFd, pszName, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, nMask, &stx) != 0) {
        return;
    }
    entry.bDirectory = S_ISDIR(stx.stx_mode);
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

bool CPosixFileSystem::ListDirectory(const std::string& strDir, CDirListing& listing) {
    listing = CDirListing{};
    DIR* pDir = opendir(strDir.c_str());
    if (pDir == nullptr) {
        return false;
    }
    struct stat st {};
    if (fstat(dirfd(pDir), &st) == 0) {
        listing.self.nDevice = st.st_dev;
        listing.self.nInode = st.st_ino;
    }
    while (const dirent* pEnt = readdir(pDir)) {
        if (std::strcmp(pEnt->d_name, ".") == 0 || std::strcmp(pEnt->d_name, "..") == 0) {
            continue;
        }
        CDirEntry entry;
        entry.strName = pEnt->d_name;
        entry.strPath = JoinPath(strDir, entry.strName);
        DescribeEntry(dirfd(pDir), pEnt->d_name, entry);
        listing.entries.push_back(std::move(entry));
    }
    closedir(pDir);
    return true;
}

bool CPosixFileSystem::OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                                    std::uint64_t nMaxSize) {
    // Non-blocking, so that a named pipe in the tree cannot stall the reader.
    const int fd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > nMaxSize) {
        close(fd);
        return false;
    }
    std::FILE* pFile = fdopen(fd, "rb");
    if (pFile == nullptr) {
        close(fd);
        return false;
    }
    reader.AttachFile(pFile);
    return true;
}

bool CPosixFileSystem::RenameFile(const std::string& strFrom, const std::string& strTo) {
    if (renameat2(AT_FDCWD, strFrom.c_str(), AT_FDCWD, strTo.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without RENAME_NOREPLACE: test first, then rename.
    return !Exists(strTo) && std::rename(strFrom.c_str(), strTo.c_str()) == 0;
}

}  // namespace

CFileSystem& GetPosixFileSystem() {
    static CPosixFileSystem s_fileSystem;
    return s_fileSystem;
}
