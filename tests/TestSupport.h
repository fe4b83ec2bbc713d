// Shared helpers of the unit tests: a recording view, temporary directories and
// a file system that can be told to fail.
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "platform/Path.h"

// The view's hooks, recorded instead of shown.
class CTestView : public CTVLDlgBase {
public:
    std::vector<std::uint32_t> m_missingCalls;
    std::vector<std::string> m_messages;
    std::vector<CBookmark*> m_selected;  // the selected rows, in row order
    void MarkStoreMissing(std::uint32_t nStore) override {
        m_missingCalls.push_back(nStore);
        CTVLDlgBase::MarkStoreMissing(nStore);
    }
    void ShowMessage(const std::string& strText, EMessageKind) override {
        m_messages.push_back(strText);
    }
    std::vector<CBookmark*> GetSelectedRows() const override { return m_selected; }
    // The records that are not folders, in catalogue order.
    std::vector<CBookmark*> Bookmarks() const;
    // The first record with this name, or null.
    CBookmark* Named(const std::string& strName) const;
};

// The path with each "/" written as the system's separator.
std::string NativePath(std::string strPath);

// A fresh directory below the system's temporary directory, removed at the end.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    // With the system's separator, as the program joins paths.
    std::string operator/(const std::string& strRel) const {
        return JoinPath(m_path.string(), NativePath(strRel));
    }
    // Writes bytes exactly as given, creating the parent directories.
    void Write(const std::string& strRel, const std::string& strBytes) const;

private:
    std::filesystem::path m_path;
};

// The POSIX file system, except that the named paths fail whatever is done
// with them (for a directory tree: the full path of the directory or file),
// and that the steps of a replacement can be made to fail.
class CFailingFileSystem : public CFileSystem {
public:
    std::set<std::string> m_failPaths;
    std::int64_t m_tNow = 1'000'000'000;
    bool m_bDropTimes = false;  // report every time as unavailable
    // A replacement's writes fail once this many bytes are written, as on a full disk.
    std::optional<std::uint64_t> m_nFailWriteAt;
    bool m_bFailFlush = false;
    // Runs when a replacement has been flushed, before it takes the name.
    std::function<void()> m_onFlush;
    bool m_bFailInstall = false;
    bool m_bFailKeepCopy = false;

    bool ListDirectory(const std::string& strDir, CDirListing& listing) override;
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader, std::uint64_t nMaxSize,
                      CFileStamp* pStamp) override;
    bool OpenListedFile(const CDirListing& listing, CDirEntry& entry, CTextFileReader& reader,
                        std::uint64_t nMaxSize) override;
    std::int64_t CurrentTime() override { return m_tNow; }
    bool IsDirectory(const std::string& strPath) override {
        return !Fails(strPath) && GetFileSystem().IsDirectory(strPath);
    }
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        return !Fails(strPath) && GetFileSystem().CanOpen(strPath, bWrite);
    }
    EFileResult StampFile(const std::string& strPath, CFileStamp& stamp) override {
        return Fails(strPath) ? FILE_FAILED : GetFileSystem().StampFile(strPath, stamp);
    }
    std::unique_ptr<CFileReplacement> BeginReplace(const std::string& strPath) override;
    EFileResult KeepCopy(const std::string& strFrom, const std::string& strTo) override {
        return m_bFailKeepCopy || Fails(strTo) ? FILE_FAILED
                                               : GetFileSystem().KeepCopy(strFrom, strTo);
    }
    bool RemoveFile(const std::string& strPath) override {
        return !Fails(strPath) && GetFileSystem().RemoveFile(strPath);
    }
    std::unique_ptr<CDirectoryTree> OpenTree(const std::string& strRoot) override;
    bool Fails(const std::string& strPath) const { return m_failPaths.count(strPath) != 0; }

private:
    void DropTimes(CDirEntry& entry) const;
};

// Sets a variable for this process and the programs it starts, as std::getenv
// and, on Windows, the system's calls read it. On Windows an empty value
// removes the variable.
void SetEnv(const std::string& strName, const std::string& strValue);
void UnsetEnv(const std::string& strName);

// Sets the access and modification times of a file, in seconds since 1970;
// false when they cannot be set. Windows sets none on a directory this way.
bool SetFileTimes(const std::string& strPath, std::int64_t tAccessed, std::int64_t tModified);

// Restores the named environment variables when it goes out of scope.
class CEnvironmentGuard {
public:
    explicit CEnvironmentGuard(std::vector<std::string> names);
    ~CEnvironmentGuard();

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Runs the test in a fresh current directory and goes back afterwards.
class CCurrentDirGuard {
public:
    CCurrentDirGuard();
    ~CCurrentDirGuard();
    const CTempDir& Dir() const { return m_dir; }

private:
    CTempDir m_dir;
    std::filesystem::path m_previous;
};

// A run of tavrel-cli as a separate process.
struct CRun {
    int nStatus = -1;
    std::string strOut, strErr;
    std::vector<std::string> OutLines() const;
    std::string LastErrLine() const;
};

#ifndef _WIN32
// Starts tavrel-cli with its home, settings and registry file in strDir and its
// output going to the two files; -1 when it cannot be started.
pid_t StartCli(const std::string& strDir, const std::vector<std::string>& args,
               const std::string& strOut, const std::string& strErr,
               const std::vector<std::string>& extraEnv = {});
#endif

// Runs tavrel-cli with its output caught in files of dir. Its environment has
// TZ=UTC and a home and registry file of its own in dir (on Windows a user
// profile there instead of the registry file), so that no store is found
// unless named, and the extra variables given.
CRun RunCli(const CTempDir& dir, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv = {});

std::string ReadFileBytes(const std::string& strPath);
std::string FixturePath(const std::string& strRel);
// The real-world sample directory beside the checkout, or empty when it is absent.
std::string RealWorldDir();

// Every record in full, one line each: flags, texts, dates, its folder by
// index, and what only the Netscape file carries.
std::vector<std::string> DescribeRecords(const CTVLDlgBase& view);
