// Needs platform/WinFileSystem.cpp and platform/TextFile.cpp, and GoogleTest.
// The Windows file system on a real disk: listings, reading, replacing a file
// in one step, backups and the directory tree.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef CreateFile

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/FileSystem.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Removes the directory and what it holds through the wide calls, which take
// any name and any length; a junction goes, not what it leads to.
void RemoveTree(const std::wstring& strDir) {
    WIN32_FIND_DATAW data{};
    const HANDLE hFind = FindFirstFileW((strDir + L"\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring strName = data.cFileName;
            if (strName == L"." || strName == L"..") {
                continue;
            }
            const std::wstring strPath = strDir + L"\\" + strName;
            SetFileAttributesW(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            const DWORD nKind =
                data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
            if (nKind == FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(strPath);
            } else if ((nKind & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveDirectoryW(strPath.c_str());
            } else {
                DeleteFileW(strPath.c_str());
            }
        } while (FindNextFileW(hFind, &data));
        FindClose(hFind);
    }
    RemoveDirectoryW(strDir.c_str());
}

// A fresh directory below the system's temporary one, removed at the end
// whatever the test left in it.
class CScratchDir {
public:
    CScratchDir() {
        static unsigned s_nCount = 0;
        do {
            m_path = fs::temp_directory_path() /
                     ("tavrel-wfs-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(GetTickCount64()) + "-" + std::to_string(++s_nCount));
        } while (!fs::create_directory(m_path));
    }
    ~CScratchDir() { RemoveTree(L"\\\\?\\" + m_path.wstring()); }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    std::string Path() const { return m_path.string(); }
    std::string operator/(const std::string& strRel) const { return (m_path / strRel).string(); }
    // The names in the directory itself, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path m_path;
};

void WriteBytes(const std::string& strPath, const std::string& strBytes) {
    std::ofstream out(strPath, std::ios::binary);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    ASSERT_TRUE(out.good()) << strPath;
}

std::string ReadBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A FILETIME nSeconds after 1970 and nTicks of 100 ns more.
FILETIME FileTime(std::uint64_t nSeconds, std::uint64_t nTicks) {
    const std::uint64_t n = 116'444'736'000'000'000ull + nSeconds * 10'000'000ull + nTicks;
    return FILETIME{static_cast<DWORD>(n), static_cast<DWORD>(n >> 32)};
}

void SetTimes(const std::string& strPath, const FILETIME& accessed, const FILETIME& modified) {
    const HANDLE h = CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << strPath;
    EXPECT_TRUE(SetFileTime(h, nullptr, &accessed, &modified));
    CloseHandle(h);
}

const CDirEntry* Find(const CDirListing& listing, const std::string& strName) {
    for (const CDirEntry& entry : listing.entries) {
        if (entry.strName == strName) {
            return &entry;
        }
    }
    return nullptr;
}

TEST(WinListing, EntriesCarryTheirKindTimesAndPath) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    WriteBytes(dir / "a.url", "x");
    ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    WriteBytes(dir / "sub\\b.url", "y");
    // Fractions of a second are cut off, not rounded.
    SetTimes(dir / "a.url", FileTime(1'100'000'000, 5'000'000), FileTime(1'200'000'000, 9'999'999));

    CDirListing listing;
    ASSERT_TRUE(fileSystem.ListDirectory(dir.Path(), listing));
    ASSERT_EQ(listing.entries.size(), 2u);
    const CDirEntry* pFile = Find(listing, "a.url");
    const CDirEntry* pSub = Find(listing, "sub");
    ASSERT_TRUE(pFile != nullptr && pSub != nullptr);
    EXPECT_FALSE(pFile->bDirectory);
    EXPECT_EQ(pFile->strPath, dir / "a.url");
    EXPECT_EQ(pFile->tAccessed, std::optional<std::int64_t>(1'100'000'000));
    EXPECT_EQ(pFile->tModified, std::optional<std::int64_t>(1'200'000'000));
    ASSERT_TRUE(pFile->tCreated.has_value());
    EXPECT_GT(*pFile->tCreated, 1'000'000'000);
    EXPECT_LE(*pFile->tCreated, static_cast<std::int64_t>(std::time(nullptr)) + 60);
    EXPECT_TRUE(pSub->bDirectory);
    EXPECT_EQ(pSub->strPath, dir / "sub");

    // The same directory reached another way is recognised; another is not it.
    CDirListing again, sub;
    ASSERT_TRUE(fileSystem.ListDirectory(dir / "sub\\..", again));
    ASSERT_TRUE(fileSystem.ListDirectory(pSub->strPath, sub));
    EXPECT_EQ(again.self, listing.self);
    EXPECT_NE(sub.self, listing.self);
    ASSERT_EQ(sub.entries.size(), 1u);
    EXPECT_EQ(sub.entries[0].strName, "b.url");

    EXPECT_FALSE(fileSystem.ListDirectory(dir / "missing", again));
    EXPECT_FALSE(fileSystem.ListDirectory(dir / "a.url", again));
}

TEST(WinReading, OnlySmallRegularFilesOpen) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const std::string strFile = dir / "f.url";
    WriteBytes(strFile, "line\r\nend");
    const FILETIME modified = FileTime(1'200'000'000, 1'234'567);
    SetTimes(strFile, modified, modified);

    CTextFileReader reader;
    EXPECT_FALSE(fileSystem.OpenTextFile(dir / "missing.url", reader));
    EXPECT_FALSE(fileSystem.OpenTextFile(dir.Path(), reader));
    EXPECT_FALSE(fileSystem.OpenTextFile(dir / "NUL", reader));
    EXPECT_FALSE(fileSystem.OpenTextFile(strFile, reader, 8));
    EXPECT_FALSE(reader.IsOpen());

    CFileStamp opened;
    ASSERT_TRUE(fileSystem.OpenTextFile(strFile, reader, 9, &opened));
    std::string strLine, strAll;
    while (reader.ReadLine(strLine)) {
        strAll += strLine;
    }
    EXPECT_EQ(strAll, "line\nend");
    EXPECT_EQ(opened.nSize, 9u);
    EXPECT_EQ(opened.nModified, 1'200'000'000'123'456'700);

    CFileStamp now;
    ASSERT_EQ(fileSystem.StampFile(strFile, now), FILE_OK);
    EXPECT_EQ(now.id, opened.id);
    EXPECT_EQ(now.nSize, opened.nSize);
    EXPECT_EQ(now.nModified, opened.nModified);
    EXPECT_EQ(now.nHash, reader.ContentHash());
    reader.Close();

    EXPECT_EQ(fileSystem.StampFile(dir / "missing.url", now), FILE_MISSING);
    EXPECT_EQ(fileSystem.StampFile(dir / "nodir\\f.url", now), FILE_MISSING);
    EXPECT_EQ(fileSystem.StampFile(dir.Path(), now), FILE_FAILED);
}

TEST(WinReading, TellsDirectoriesAndFilesThatOpen) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    WriteBytes(dir / "file", "x");
    WriteBytes(dir / "shared", "x");
    // Someone reads it and lets others read, not write.
    const HANDLE hReader = CreateFileA((dir / "shared").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hReader, INVALID_HANDLE_VALUE);

    EXPECT_TRUE(fileSystem.IsDirectory(dir.Path()));
    EXPECT_TRUE(fileSystem.IsDirectory(dir.Path() + "\\"));
    EXPECT_TRUE(fileSystem.IsDirectory("C:\\"));
    EXPECT_FALSE(fileSystem.IsDirectory(dir / "file"));
    EXPECT_FALSE(fileSystem.IsDirectory(dir / "missing"));
    // The pattern matches only "sub", which is no reason to call it a directory.
    EXPECT_FALSE(fileSystem.IsDirectory(dir / "su*"));

    EXPECT_TRUE(fileSystem.CanOpen(dir / "file", true));
    EXPECT_TRUE(fileSystem.CanOpen(dir / "shared", false));
    EXPECT_FALSE(fileSystem.CanOpen(dir / "shared", true));
    EXPECT_FALSE(fileSystem.CanOpen(dir / "missing", false));
    CloseHandle(hReader);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"file", "shared", "sub"}));
}

TEST(WinReading, LockedFileFailsAndStaysAsItWas) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const std::string strFile = dir / "bookmark.htm";
    WriteBytes(strFile, "locked bytes");
    const HANDLE hLock = CreateFileA(strFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);

    CTextFileReader reader;
    CFileStamp stamp;
    EXPECT_FALSE(fileSystem.OpenTextFile(strFile, reader));
    EXPECT_EQ(fileSystem.StampFile(strFile, stamp), FILE_FAILED);
    EXPECT_FALSE(fileSystem.CanOpen(strFile, false));
    // A replacement may be written, but cannot take the name of a file in use.
    if (auto pFile = fileSystem.BeginReplace(strFile)) {
        EXPECT_TRUE(pFile->Write("new", 3));
        EXPECT_TRUE(pFile->Flush());
        EXPECT_FALSE(pFile->Install());
    }
    CloseHandle(hLock);

    EXPECT_EQ(ReadBytes(strFile), "locked bytes");
    // Wine's ReplaceFile leaves a file of its own when it fails; ours must be gone.
    for (const std::string& strName : dir.Names()) {
        EXPECT_EQ(strName.find(".tavrel-"), std::string::npos) << strName;
    }
    EXPECT_EQ(fileSystem.StampFile(strFile, stamp), FILE_OK);
}

TEST(WinReplacement, InstalledItKeepsTheOldAttributes) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const std::string strFile = dir / "bookmark.htm";
    WriteBytes(strFile, "old");
    const DWORD nAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(strFile.c_str(), nAttributes));

    const auto pFile = fileSystem.BeginReplace(strFile);
    ASSERT_TRUE(pFile);
    EXPECT_TRUE(pFile->Replaces());
    EXPECT_EQ(pFile->Target(), strFile);
    EXPECT_TRUE(pFile->Write("new text", 8));
    EXPECT_TRUE(pFile->Flush());
    ASSERT_TRUE(pFile->Install());
    EXPECT_FALSE(pFile->Install());

    EXPECT_EQ(ReadBytes(strFile), "new text");
    EXPECT_EQ(GetFileAttributesA(strFile.c_str()) & nAttributes, nAttributes);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"bookmark.htm"});
}

TEST(WinReplacement, UninstalledItLeavesTheOldFile) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const std::string strFile = dir / "bookmark.htm";
    WriteBytes(strFile, "old bytes\r\n");
    {
        const auto pFile = fileSystem.BeginReplace(strFile);
        ASSERT_TRUE(pFile);
        EXPECT_TRUE(pFile->Write("new", 3));
        EXPECT_TRUE(pFile->Flush());
    }
    {
        // Not yet on disk: it does not take the name.
        const auto pFile = fileSystem.BeginReplace(strFile);
        ASSERT_TRUE(pFile);
        EXPECT_TRUE(pFile->Write("new", 3));
        EXPECT_FALSE(pFile->Install());
    }
    EXPECT_EQ(ReadBytes(strFile), "old bytes\r\n");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"bookmark.htm"});

    EXPECT_FALSE(fileSystem.BeginReplace(dir.Path()));
    EXPECT_FALSE(fileSystem.BeginReplace(dir / "nodir\\bookmark.htm"));
}

TEST(WinReplacement, NewFileTakesOnlyAFreeName) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const auto pFresh = fileSystem.BeginReplace(dir / "fresh.htm");
    const auto pLate = fileSystem.BeginReplace(dir / "late.htm");
    ASSERT_TRUE(pFresh && pLate);
    EXPECT_FALSE(pFresh->Replaces());
    for (CFileReplacement* pFile : {pFresh.get(), pLate.get()}) {
        EXPECT_TRUE(pFile->Write("mine", 4));
        EXPECT_TRUE(pFile->Flush());
    }
    WriteBytes(dir / "late.htm", "came meanwhile");
    EXPECT_TRUE(pFresh->Install());
    EXPECT_FALSE(pLate->Install());
    EXPECT_EQ(ReadBytes(dir / "fresh.htm"), "mine");
    EXPECT_EQ(ReadBytes(dir / "late.htm"), "came meanwhile");
}

TEST(WinKeepCopy, BackupSurvivesTheReplacementAndIsNeverWrittenOver) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const std::string strFile = dir / "bookmark.htm";
    WriteBytes(strFile, "original");
    WriteBytes(dir / "taken", "other");

    EXPECT_EQ(fileSystem.KeepCopy(strFile, dir / "taken"), FILE_EXISTS);
    EXPECT_EQ(ReadBytes(dir / "taken"), "other");
    EXPECT_EQ(fileSystem.KeepCopy(dir / "missing", dir / "copy"), FILE_FAILED);
    EXPECT_FALSE(fs::exists(dir / "copy"));

    ASSERT_EQ(fileSystem.KeepCopy(strFile, dir / "backup"), FILE_OK);
    const auto pFile = fileSystem.BeginReplace(strFile);
    ASSERT_TRUE(pFile);
    EXPECT_TRUE(pFile->Write("replaced", 8));
    EXPECT_TRUE(pFile->Flush());
    ASSERT_TRUE(pFile->Install());
    EXPECT_EQ(ReadBytes(strFile), "replaced");
    EXPECT_EQ(ReadBytes(dir / "backup"), "original");
}

TEST(WinTree, CreatesOnlyWhereNothingStands) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    WriteBytes(dir / "file", "");
    EXPECT_FALSE(fileSystem.OpenTree(dir / "file"));
    EXPECT_FALSE(fileSystem.OpenTree(dir / "missing"));
    const auto pTree = fileSystem.OpenTree(dir.Path());
    ASSERT_TRUE(pTree);

    bool bCreateFailed = true;
    EXPECT_EQ(pTree->MakeDirectories({"a", "b", "c"}, bCreateFailed), 3u);
    EXPECT_FALSE(bCreateFailed);
    EXPECT_TRUE(fs::is_directory(dir / "a\\b\\c"));
    // A file in the way stops the walk; it is not a directory that failed.
    EXPECT_EQ(pTree->MakeDirectories({"file", "x"}, bCreateFailed), 0u);
    EXPECT_FALSE(bCreateFailed);
    EXPECT_EQ(pTree->MakeDirectories({"a", "..", "z"}, bCreateFailed), 1u);
    EXPECT_FALSE(fs::exists(dir / "z"));

    EXPECT_EQ(pTree->CreateFile({"a", "b"}, "s.url", "one"), FILE_OK);
    EXPECT_EQ(pTree->CreateFile({"a", "b"}, "s.url", "two"), FILE_EXISTS);
    EXPECT_EQ(pTree->CreateFile({"a", "b"}, "c", "two"), FILE_EXISTS);
    EXPECT_EQ(ReadBytes(dir / "a\\b\\s.url"), "one");
    for (const char* pszBad : {"c\\t.url", "c/t.url", "..", ".", "", "x:y", "t.url."}) {
        EXPECT_EQ(pTree->CreateFile({"a", "b"}, pszBad, "bad"), FILE_FAILED) << pszBad;
    }
    EXPECT_EQ(pTree->CreateFile({"a", ".."}, "u.url", "bad"), FILE_FAILED);
    EXPECT_FALSE(fs::exists(dir / "a\\b\\c\\t.url"));
    EXPECT_FALSE(fs::exists(dir / "a\\b\\x"));
    EXPECT_FALSE(fs::exists(dir / "a\\b\\t.url"));
    EXPECT_FALSE(fs::exists(dir / "u.url"));
    EXPECT_FALSE(fs::exists(dir / "a\\u.url"));

    EXPECT_TRUE(pTree->RemoveFile({"a", "b"}, "s.url"));
    EXPECT_FALSE(fs::exists(dir / "a\\b\\s.url"));
    EXPECT_FALSE(pTree->RemoveFile({"a", "b"}, "s.url"));
    EXPECT_FALSE(pTree->RemoveFile({}, "a\\b\\c"));
}

TEST(WinTree, RenamesNeverOverAnotherName) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    const auto pTree = fileSystem.OpenTree(dir.Path());
    ASSERT_TRUE(pTree);
    bool bCreateFailed = false;
    ASSERT_EQ(pTree->MakeDirectories({"d"}, bCreateFailed), 1u);
    ASSERT_EQ(pTree->CreateFile({"d"}, "one.url", "1"), FILE_OK);
    ASSERT_EQ(pTree->CreateFile({"d"}, "two.url", "2"), FILE_OK);

    EXPECT_EQ(pTree->RenameFile({"d"}, "one.url", "two.url"), FILE_EXISTS);
    EXPECT_EQ(ReadBytes(dir / "d\\one.url"), "1");
    EXPECT_EQ(ReadBytes(dir / "d\\two.url"), "2");
    EXPECT_EQ(pTree->RenameFile({"d"}, "one.url", ".."), FILE_FAILED);
    EXPECT_EQ(pTree->RenameFile({"d"}, "one.url", "x:y"), FILE_FAILED);
    EXPECT_EQ(pTree->RenameFile({"d"}, "missing.url", "four.url"), FILE_FAILED);
    EXPECT_EQ(pTree->RenameFile({"d"}, "one.url", "three.url"), FILE_OK);
    EXPECT_FALSE(fs::exists(dir / "d\\one.url"));
    EXPECT_EQ(ReadBytes(dir / "d\\three.url"), "1");
}

TEST(WinLongPath, TooLongToReplaceFailsCleanly) {
    CFileSystem& fileSystem = GetFileSystem();
    CScratchDir dir;
    // Made through the wide calls, which take a path of any length.
    const std::string strOuter = dir / std::string(150, 'd');
    const std::string strDir = strOuter + "\\" + std::string(150, 'e');
    const std::string strFile = strDir + "\\" + std::string(50, 'f');
    const std::wstring strWideOuter = L"\\\\?\\" + fs::path(strOuter).wstring();
    const std::wstring strWideDir = L"\\\\?\\" + fs::path(strDir).wstring();
    const std::wstring strWideFile = L"\\\\?\\" + fs::path(strFile).wstring();
    ASSERT_TRUE(CreateDirectoryW(strWideOuter.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(strWideDir.c_str(), nullptr));
    const HANDLE h = CreateFileW(strWideFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD nWritten = 0;
    EXPECT_TRUE(WriteFile(h, "old", 3, &nWritten, nullptr));
    CloseHandle(h);

    EXPECT_FALSE(fileSystem.BeginReplace(strFile));
    EXPECT_FALSE(fileSystem.OpenTree(strDir));
    // Whether the system reaches the file is its own affair; what it reports is right.
    CFileStamp stamp;
    const EFileResult result = fileSystem.StampFile(strFile, stamp);
    EXPECT_TRUE(result != FILE_OK || stamp.nSize == 3u);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(strWideFile.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 3u);
}

}  // namespace
