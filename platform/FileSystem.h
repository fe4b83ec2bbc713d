// The file-system services that the readers use, behind an interface so that
// tests can make single entries fail.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/TextFile.h"

// Identity of a directory, to notice one that is reached twice through links.
struct CFileId {
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
    auto operator<=>(const CFileId&) const = default;
};

struct CDirEntry {
    std::string strName;
    std::string strPath;
    bool bDirectory = false;
    // Seconds since 1970 (UTC); empty when the platform cannot supply the time.
    std::optional<std::int64_t> tCreated;
    std::optional<std::int64_t> tAccessed;
    std::optional<std::int64_t> tModified;
};

struct CDirListing {
    CFileId self;
    std::vector<CDirEntry> entries;  // in the order the file system lists them, without . and ..
};

class CFileSystem {
public:
    virtual ~CFileSystem() = default;
    // False when the directory cannot be listed.
    virtual bool ListDirectory(const std::string& strDir, CDirListing& listing) = 0;
    // Opens a regular file as a Windows text file. False when it cannot be
    // opened, is not a regular file, or is larger than nMaxSize bytes.
    virtual bool OpenTextFile(
        const std::string& strPath, CTextFileReader& reader,
        std::uint64_t nMaxSize = std::numeric_limits<std::uint64_t>::max()) = 0;
    virtual std::int64_t CurrentTime() = 0;
    virtual bool IsDirectory(const std::string& strPath) = 0;
    // Whether an existing file opens for reading, or for reading and writing.
    // Nothing is created or changed.
    virtual bool CanOpen(const std::string& strPath, bool bWrite) = 0;
    // Whether a file or directory of this name exists.
    virtual bool Exists(const std::string& strPath) = 0;
    virtual bool CreateDirectory(const std::string& strPath) = 0;
    virtual bool RemoveFile(const std::string& strPath) = 0;
    // Fails when the target exists, as a move on Windows does.
    virtual bool RenameFile(const std::string& strFrom, const std::string& strTo) = 0;
};

CFileSystem& GetPosixFileSystem();
