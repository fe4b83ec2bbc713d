// Shared helpers of the unit tests: a recording view, temporary directories and
// a file system that can be told to fail.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/TVLDlgBase.h"

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

// A fresh directory below the system's temporary directory, removed at the end.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& strRel) const { return (m_path / strRel).string(); }
    // Writes bytes exactly as given, creating the parent directories.
    void Write(const std::string& strRel, const std::string& strBytes) const;

private:
    std::filesystem::path m_path;
};

// The POSIX file system, except that the named paths cannot be opened or listed.
class CFailingFileSystem : public CFileSystem {
public:
    std::set<std::string> m_failPaths;
    std::int64_t m_tNow = 1'000'000'000;
    bool m_bDropTimes = false;  // report every time as unavailable
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override;
    bool OpenTextFile(const std::string& strPath, CTextFileReader& reader,
                      std::uint64_t nMaxSize) override;
    std::int64_t CurrentTime() override { return m_tNow; }
    bool IsDirectory(const std::string& strPath) override {
        return m_failPaths.count(strPath) == 0 && GetPosixFileSystem().IsDirectory(strPath);
    }
    bool CanOpen(const std::string& strPath, bool bWrite) override {
        return m_failPaths.count(strPath) == 0 && GetPosixFileSystem().CanOpen(strPath, bWrite);
    }
    bool Exists(const std::string& strPath) override {
        return GetPosixFileSystem().Exists(strPath);
    }
    bool CreateDirectory(const std::string& strPath) override {
        return m_failPaths.count(strPath) == 0 && GetPosixFileSystem().CreateDirectory(strPath);
    }
    bool RemoveFile(const std::string& strPath) override {
        return m_failPaths.count(strPath) == 0 && GetPosixFileSystem().RemoveFile(strPath);
    }
    bool RenameFile(const std::string& strFrom, const std::string& strTo) override {
        return m_failPaths.count(strFrom) == 0 && GetPosixFileSystem().RenameFile(strFrom, strTo);
    }
};

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

// Runs tavrel-cli with its output caught in files of dir. Its environment has
// TZ=UTC and a home and registry file of its own in dir, so that no store is
// found unless named, and the extra variables given.
CRun RunCli(const CTempDir& dir, const std::vector<std::string>& args,
            const std::vector<std::string>& extraEnv = {});

std::string ReadFileBytes(const std::string& strPath);
std::string FixturePath(const std::string& strRel);
// The real-world sample directory beside the checkout, or empty when it is absent.
std::string RealWorldDir();
