// The file-system services that the readers and Save use, behind an interface
// so that tests can make single steps fail.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    // False for a regular file whose times the listing left to OpenListedFile.
    bool bDescribed = true;
};

struct CDirListing {
    CFileId self;
    std::vector<CDirEntry> entries;  // in the order the file system lists them, without . and ..
    // The directory as the platform keeps it open while the listing lives, so
    // that its entries open without a search of the whole path; may be null.
    std::shared_ptr<void> pDirectory;
};

// What a file was when it was read, to tell whether someone changed it since.
struct CFileStamp {
    CFileId id;
    std::uint64_t nSize = 0;
    std::int64_t nModified = 0;  // nanoseconds since 1970
    std::uint64_t nHash = 0;     // CContentHash of every byte
    bool operator==(const CFileStamp&) const = default;
};

enum EFileResult { FILE_OK, FILE_EXISTS, FILE_MISSING, FILE_FAILED };

// A new file that takes its target's name only once it is whole and on disk:
// it is written beside the target and renamed over it, so that the name holds
// either the old bytes or the new ones, whenever the program is stopped. Until
// it is installed, destroying it removes the new file.
class CFileReplacement : public CByteSink {
public:
    // The path that is replaced: the one given, with symbolic links resolved.
    virtual const std::string& Target() const = 0;
    // Whether a file stood at the target when the replacement began.
    virtual bool Replaces() const = 0;
    // Puts every byte written on disk.
    virtual bool Flush() = 0;
    // Gives the new file the target's name: over the old file, or, when there
    // was none, only while the name is still free.
    virtual bool Install() = 0;
};

// A directory tree that is changed only below its root: each name on the way
// is opened as a directory of its own, never through a symbolic link, so that
// nothing outside the tree is created or changed, whatever links it holds.
// Parts are single names; the root itself may be reached through links.
class CDirectoryTree {
public:
    virtual ~CDirectoryTree() = default;
    // Creates the missing directories of parts, outermost first, and returns
    // how many of the parts stand as directories afterwards. bCreateFailed
    // tells whether the walk stopped at a directory it could not create,
    // rather than at a name taken by something it cannot enter.
    virtual std::size_t MakeDirectories(const std::vector<std::string>& parts,
                                        bool& bCreateFailed) = 0;
    // Creates the file only where no file, link or directory of the name stands.
    virtual EFileResult CreateFile(const std::vector<std::string>& dirParts,
                                   const std::string& strName, std::string_view bytes) = 0;
    virtual bool RemoveFile(const std::vector<std::string>& dirParts,
                            const std::string& strName) = 0;
    // Renames within one directory; FILE_EXISTS when the new name is taken.
    virtual EFileResult RenameFile(const std::vector<std::string>& dirParts,
                                   const std::string& strFrom, const std::string& strTo) = 0;
};

class CFileSystem {
public:
    virtual ~CFileSystem() = default;
    // False when the directory cannot be listed. A regular file's times may
    // be left to OpenListedFile, which a reader of the file calls anyway.
    virtual bool ListDirectory(const std::string& strDir, CDirListing& listing) = 0;
    // Opens a regular file as a Windows text file. False when it cannot be
    // opened, is not a regular file, or is larger than nMaxSize bytes. With
    // pStamp, the file's identity, size and time go there; its hash is the
    // reader's once every line has been read.
    virtual bool OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                              std::uint64_t nMaxSize = std::numeric_limits<std::uint64_t>::max(),
                              CFileStamp* pStamp = nullptr) = 0;
    // Opens an entry of the listing as OpenTextFile opens its path, and gives
    // the entry the times that the listing left out. A file system whose
    // listings leave none out need not override it.
    virtual bool OpenListedFile(const CDirListing& listing, CDirEntry& entry,
                                CTextFileReader& reader, std::uint64_t nMaxSize) {
        (void)listing;
        return OpenTextFile(entry.strPath, reader, nMaxSize);
    }
    virtual std::int64_t CurrentTime() = 0;
    virtual bool IsDirectory(const std::string& strPath) = 0;
    // Whether an existing file opens for reading, or for reading and writing.
    // Nothing is created or changed.
    virtual bool CanOpen(const std::string& strPath, bool bWrite) = 0;
    // The stamp of the regular file at the path as it is now, links followed.
    virtual EFileResult StampFile(const std::string& strPath, CFileStamp& stamp) = 0;
    // Null when the new file cannot be created beside the target, or the
    // target is no regular file.
    virtual std::unique_ptr<CFileReplacement> BeginReplace(const std::string& strPath) = 0;
    // Makes strTo hold strFrom's bytes without changing strFrom: a hard link
    // where the file system has them, else a copy put on disk. Never replaces
    // strTo: FILE_EXISTS when the name is taken.
    virtual EFileResult KeepCopy(const std::string& strFrom, const std::string& strTo) = 0;
    virtual bool RemoveFile(const std::string& strPath) = 0;
    // Null when the root is no directory that can be opened.
    virtual std::unique_ptr<CDirectoryTree> OpenTree(const std::string& strRoot) = 0;
};

CFileSystem& GetFileSystem();
