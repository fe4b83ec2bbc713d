#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/TestSupport.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> ReadLines(CTextFileReader& reader) {
    std::vector<std::string> lines;
    std::string strLine;
    while (reader.ReadLine(strLine)) {
        lines.push_back(strLine);
    }
    return lines;
}

// The same bytes give the same lines from memory and from a file. Files are read
// in chunks of 64 KiB: a CR LF split by a chunk boundary still ends one line.
TEST(TextFileTest, LineEnds) {
    const std::string strA(65535, 'a'), strB(200000, 'b');
    const struct {
        std::string strBytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a\n", "b\n"}},
        {"a\r\r\nb", {"a\r\n", "b"}},
        {"a\rb\n\r", {"a\rb\n", "\r"}},
        {"\n\r\n", {"\n", "\n"}},
        {"", {}},
        {"a\0b\r\n\0"s, {"a\0b\n"s, "\0"s}},
        {strA + "\r\n" + strB + "\r\nend", {strA + "\n", strB + "\n", "end"}},
    };
    CTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strBytes.substr(0, 20));
        CTextFileReader memory, file;
        memory.AttachMemory(c.strBytes.data(), c.strBytes.size());
        EXPECT_EQ(ReadLines(memory), c.lines);
        dir.Write("t.txt", c.strBytes);
        ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "t.txt", file));
        EXPECT_EQ(ReadLines(file), c.lines);
    }
}

// A file is read in chunks; most lines are handed out from the chunk where
// they lie. Lines that cross a chunk's end, a CR LF split by one, and a file
// larger than the size it had when it was opened (read through a buffer of
// that size, down to a single byte) all give the lines that splitting the
// whole text gives.
TEST(TextFileTest, LinesAcrossChunks) {
    auto split = [](const std::string& strBytes) {
        std::vector<std::string> lines;
        std::size_t nStart = 0;
        while (nStart < strBytes.size()) {
            const std::size_t nEnd = strBytes.find('\n', nStart);
            if (nEnd == std::string::npos) {
                lines.push_back(strBytes.substr(nStart));
                break;
            }
            std::string strLine = strBytes.substr(nStart, nEnd - nStart);
            if (!strLine.empty() && strLine.back() == '\r') {
                strLine.pop_back();
            }
            lines.push_back(strLine + "\n");
            nStart = nEnd + 1;
        }
        return lines;
    };
    std::vector<std::string> texts;
    for (std::size_t nFirst = 65530; nFirst <= 65538; ++nFirst) {
        const std::string strFirst(nFirst, 'a');
        texts.push_back(strFirst + "\r\nb\r\n" + std::string(70000, 'c') + "\r\r\nd");
        texts.push_back(strFirst + "\n\r\n\r" + std::string(131072, 'e') + "\r\n");
    }
    texts.push_back("x\r\ny\r\rz\n\r\n");
    const CTempDir dir;
    for (const std::string& strBytes : texts) {
        SCOPED_TRACE(std::to_string(strBytes.size()) + " bytes");
        const std::vector<std::string> expected = split(strBytes);
        dir.Write("t.txt", strBytes);
        CTextFileReader file;
        ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "t.txt", file));
        EXPECT_EQ(ReadLines(file), expected);
#ifndef _WIN32
        for (const std::uint64_t nSize : {std::uint64_t{0}, std::uint64_t{2}, std::uint64_t{7}}) {
            const int nFd = open((dir / "t.txt").c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(nFd, 0);
            CTextFileReader grown;
            grown.AttachDescriptor(nFd, nSize);
            EXPECT_EQ(ReadLines(grown), expected) << "opened at " << nSize << " bytes";
        }
#endif
        CTextFileReader memory;
        memory.AttachMemory(strBytes.data(), strBytes.size());
        EXPECT_EQ(ReadLines(memory), expected);
    }
}

// A reader that goes from file to file, as the Favorites reader's does, starts
// each one afresh: nothing of a line or a hash of the last file is left over.
TEST(TextFileTest, OneReaderForManyFiles) {
    const CTempDir dir;
    dir.Write("long.txt", std::string(100000, 'x') + "\r\nrest\r\n");
    dir.Write("short.txt", "[InternetShortcut]\r\nURL=http://s/\r\n");
    CTextFileReader single;
    ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "short.txt", single));
    EXPECT_EQ(ReadLines(single).size(), 2u);
    const std::uint64_t nShortHash = single.ContentHash();

    CTextFileReader reader;
    std::string_view strLine;
    ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "long.txt", reader));
    ASSERT_TRUE(reader.ReadLine(strLine));
    EXPECT_EQ(strLine.size(), 100001u);
    ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "short.txt", reader));
    EXPECT_EQ(ReadLines(reader),
              (std::vector<std::string>{"[InternetShortcut]\n", "URL=http://s/\n"}));
    EXPECT_EQ(reader.ContentHash(), nShortHash);
    std::string strURL;
    ASSERT_TRUE(GetFileSystem().OpenTextFile(dir / "short.txt", reader));
    ASSERT_TRUE(CTVLDlgBase::ReadShortcut(reader, strURL));
    EXPECT_EQ(strURL, "http://s/");
}

struct CShortcutCase {
    const char* pszName;
    std::string strText;
    const char* pszURL;  // null: no bookmark
};

const CShortcutCase kShortcutCases[] = {
    {"TwoLines", "[InternetShortcut]\r\nURL=http://a.example/\r\n", "http://a.example/"},
    {"SectionAfterOthers",
     "[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\nURL=http://real/\r\nX=1\r\n",
     "http://real/"},
    {"KeyBetween", "[InternetShortcut]\r\nIDList=\r\nURL=http://x/\r\n", nullptr},
    {"LastLineWithoutEnd", "[InternetShortcut]\nURL=http://noeol/?q=1", "http://noeol/?q=1"},
    {"CrCrLf", "[InternetShortcut]\r\r\nURL=http://crcrlf/\r\r\n", "http://crcrlf/"},
    {"CrOnlyIsOneLine", "[InternetShortcut]\rURL=http://cr/\r", nullptr},
    {"LowerCaseKey", "[InternetShortcut]\nurl=http://l/\n", nullptr},
    {"IndentedKey", "[InternetShortcut]\n URL=http://i/\n", nullptr},
    {"SectionWithinLine", "; [InternetShortcut] copy\nURL=http://in/\n", "http://in/"},
    {"OtherSection", "[InternetShortcut.W]\nURL=http://w/\n", nullptr},
    {"SectionLast", "URL=http://before/\n[InternetShortcut]\n", nullptr},
    {"Empty", "", nullptr},
    {"EmptyURL", "[InternetShortcut]\nURL=\n", ""},
    {"BlanksKept", "[InternetShortcut]\nURL= http://s/a b \n", " http://s/a b "},
    {"SecondSection", "[InternetShortcut]\nIconIndex=0\n[InternetShortcut]\nURL=http://2nd/\n",
     "http://2nd/"},
};

class ShortcutTest : public testing::TestWithParam<CShortcutCase> {};

TEST_P(ShortcutTest, Url) {
    CTextFileReader reader;
    reader.AttachMemory(GetParam().strText.data(), GetParam().strText.size());
    std::string strURL = "unset";
    EXPECT_EQ(CTVLDlgBase::ReadShortcut(reader, strURL), GetParam().pszURL != nullptr);
    EXPECT_EQ(strURL, GetParam().pszURL ? GetParam().pszURL : "unset");
}

INSTANTIATE_TEST_SUITE_P(ShortcutFiles, ShortcutTest, testing::ValuesIn(kShortcutCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

const std::string kShortcut = "[InternetShortcut]\r\nURL=";

// One line per record, in catalogue order or sorted: "F|name|folder|path below
// the root" or "B|name|folder|url"; the root is "F||-|".
std::vector<std::string> Describe(const CTestView& view, const std::string& strRoot,
                                  bool bSorted = false) {
    std::vector<std::string> lines;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark& mark = *view.BookmarkAt(i);
        const bool bFolder = mark.m_nFlags == (BMF_FOLDER | BMF_MSIE);
        std::string s = bFolder ? "F|" : (mark.m_nFlags == BMF_MSIE ? "B|" : "?|");
        s += mark.m_strName + "|" + (mark.m_pFolder ? mark.m_pFolder->m_strName : "-") + "|";
        lines.push_back(s + (bFolder && mark.m_strURL.starts_with(strRoot)
                                 ? mark.m_strURL.substr(strRoot.size())
                                 : mark.m_strURL));
    }
    if (bSorted) {
        std::sort(lines.begin(), lines.end());
    }
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class FavoritesTest : public testing::Test {
protected:
    CTempDir m_dir;
    CTestView m_view;
    CFailingFileSystem m_fileSystem;
    std::string Root() const { return m_dir.Path().string(); }
    void Read(bool bFound = true) {
        m_view.m_pFileSystem = &m_fileSystem;
        m_view.m_bMSIE = bFound;
        m_view.m_strFavorites = Root();
        m_view.ReadFavorites();
    }
    // Entry names in the order the file system lists them.
    std::vector<std::string> Listed(const std::string& strRel) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir.Path() / strRel)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(FavoritesTest, WhatBecomesARecord) {
    m_dir.Write("Example Site.url", kShortcut + "http://example.com/\r\n");
    m_dir.Write("key-between.url", "[InternetShortcut]\r\nIconIndex=1\r\nURL=http://no/\r\n");
    m_dir.Write("desktop.ini", "[.ShellClassInfo]\r\nIconResource=x\r\n");
    m_dir.Write("notes.txt", kShortcut + "http://notes/\r\n");
    m_dir.Write("a.b.url", kShortcut + "http://ab/");
    m_dir.Write("Work.2000/Plan.url", kShortcut + "http://plan/\r\r\n");
    fs::create_directory(m_dir.Path() / "Empty");
    m_dir.Write("locked.url", kShortcut + "http://locked/\r\n");
    m_fileSystem.m_failPaths.insert(m_dir / "locked.url");
    // Size limit 1 MiB: a file of exactly that size is read, one byte more is not.
    const std::string strPad = "\r\n" + std::string((1 << 20) - kShortcut.size() - 15, ' ');
    m_dir.Write("limit.url", kShortcut + "http://limit/" + strPad);
    m_dir.Write("big.url", kShortcut + "http://big/" + strPad + "   ");
    ASSERT_EQ(fs::file_size(m_dir.Path() / "limit.url"), 1u << 20);
    ASSERT_EQ(fs::file_size(m_dir.Path() / "big.url"), (1u << 20) + 1);
    Read();
    ASSERT_GE(m_view.m_bookmarks.GetSize(), 1);
    EXPECT_EQ(m_view.BookmarkAt(0)->m_strURL, Root());
    EXPECT_EQ(Describe(m_view, Root(), true),
              Sorted({"F||-|", "B|Example Site||http://example.com/", "B|notes||http://notes/",
                      "B|a.b||http://ab/", "F|Work||" + NativePath("/Work.2000"),
                      "B|Plan|Work|http://plan/", "F|Empty||" + NativePath("/Empty"),
                      "B|limit||http://limit/"}));
    EXPECT_TRUE(m_view.m_missingCalls.empty());
}

// Windows has no FIFOs, and std::filesystem makes no symbolic links there.
#ifndef _WIN32
// A FIFO is no shortcut, and a link back to the root is a folder record that
// stays empty: the walk ends.
TEST_F(FavoritesTest, PipesAndLinksBack) {
    m_dir.Write("Work.2000/Plan.url", kShortcut + "http://plan/\r\r\n");
    // A blocking open would hang here.
    ASSERT_EQ(mkfifo((m_dir / "pipe.url").c_str(), 0600), 0);
    fs::create_directory_symlink("..", m_dir.Path() / "Work.2000" / "back");
    Read();
    EXPECT_EQ(Describe(m_view, Root(), true),
              Sorted({"F||-|", "F|Work||/Work.2000", "B|Plan|Work|http://plan/",
                      "F|back|Work|/Work.2000/back"}));
    EXPECT_TRUE(m_view.m_missingCalls.empty());
}
#endif

// Breadth-first: the root's entries in listing order, then those of D, then of D/S.
TEST_F(FavoritesTest, BreadthFirstInListingOrder) {
    m_dir.Write("x.url", kShortcut + "http://x/\r\n");
    m_dir.Write("D/y.url", kShortcut + "http://y/\r\n");
    m_dir.Write("D/S/w.url", kShortcut + "http://w/\r\n");
    Read();
    std::vector<std::string> expected = {"F||-|"};
    for (const auto& [strRel, strFolder] :
         {std::pair<std::string, std::string>{"", ""}, {"D/", "D"}, {"D/S/", "S"}}) {
        for (const std::string& strName : Listed(strRel)) {
            const std::string strTitle = strName.substr(0, 1);
            expected.push_back(
                strName.size() == 1
                    ? "F|" + strTitle + "|" + strFolder + "|" + NativePath("/" + strRel + strName)
                    : "B|" + strTitle + "|" + strFolder + "|http://" + strTitle + "/");
        }
    }
    EXPECT_EQ(Describe(m_view, Root()), expected);
}

// The C run-time of Windows sets no times on a directory.
#ifndef _WIN32
// Times are the file's, as they were before it was read, and a link's are
// those of the file it leads to; one that is not available is the current time.
TEST_F(FavoritesTest, Times) {
    const std::time_t tBefore = std::time(nullptr);
    m_dir.Write("Sub/t.url", kShortcut + "http://t/\r\n");
    fs::create_symlink("t.url", m_dir.Path() / "Sub" / "l.url");
    const std::time_t tAfter = std::time(nullptr);
    for (const char* pszRel : {"Sub/t.url", "Sub"}) {
        const timespec times[2] = {{1'100'000'000, 0}, {1'200'000'000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / pszRel).c_str(), times, 0), 0);
    }
    for (const bool bDrop : {false, true}) {
        CTestView view;
        m_fileSystem.m_bDropTimes = bDrop;
        m_fileSystem.m_tNow = 1'234'567'890;
        view.m_pFileSystem = &m_fileSystem;
        view.m_bMSIE = true;
        view.m_strFavorites = Root();
        view.ReadFavorites();
        ASSERT_EQ(view.m_bookmarks.GetSize(), 4);
        for (const char* pszName : {"t", "l", "Sub"}) {
            const CBookmark* p = view.Named(pszName);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->m_tVisited, bDrop ? 1'234'567'890 : 1'100'000'000);
            EXPECT_EQ(p->m_tModified, bDrop ? 1'234'567'890 : 1'200'000'000);
            // Creation: the birth time where the file system keeps one, else the change time.
            EXPECT_GE(p->m_tAdded, bDrop ? 1'234'567'890 : tBefore - 1);
            EXPECT_LE(p->m_tAdded, bDrop ? 1'234'567'890 : tAfter + 1);
        }
    }
    // Reading the shortcuts left their last visit as it was.
    struct stat st {};
    ASSERT_EQ(stat((m_dir / "Sub/t.url").c_str(), &st), 0);
    EXPECT_EQ(st.st_atime, 1'100'000'000);
}
#endif

// Not found: no root. Root not listable: the root alone.
TEST_F(FavoritesTest, MissingStore) {
    m_dir.Write("x.url", kShortcut + "http://x/\r\n");
    Read(false);
    EXPECT_EQ(m_view.m_bookmarks.GetSize(), 0);
    EXPECT_EQ(m_view.m_missingCalls, std::vector<std::uint32_t>{STORE_FAVORITES});
    EXPECT_EQ(m_view.m_nMissing, STORE_FAVORITES);
    m_fileSystem.m_failPaths.insert(Root());
    Read();
    EXPECT_EQ(Describe(m_view, Root()), std::vector<std::string>{"F||-|"});
    EXPECT_EQ(m_view.m_missingCalls.size(), 2u);
}

// A sub-directory that cannot be listed is passed over and the walk goes on:
// the other directories are read and the store is not missing.
TEST_F(FavoritesTest, UnlistableSubDirectoryIsPassedOver) {
    m_dir.Write("x.url", kShortcut + "http://x/\r\n");
    m_dir.Write("A/a.url", kShortcut + "http://a/\r\n");
    m_dir.Write("B/b.url", kShortcut + "http://b/\r\n");
    m_fileSystem.m_failPaths.insert(m_dir / "A");
    Read();
    EXPECT_EQ(Describe(m_view, Root(), true),
              Sorted({"F||-|", "B|x||http://x/", "F|A||" + NativePath("/A"),
                      "F|B||" + NativePath("/B"), "B|b|B|http://b/"}));
    EXPECT_EQ(m_view.m_missingCalls, std::vector<std::uint32_t>{});
}

// Each record keeps the name its file or directory has on disk, which the
// title does not tell: the extension in any letter case, a dotted folder.
TEST_F(FavoritesTest, KeepsTheNamesOnDisk) {
    m_dir.Write("X.URL", kShortcut + "http://x/\r\n");
    m_dir.Write("Work.2000/a.b.url", kShortcut + "http://ab/\r\n");
    m_dir.Write("plain", kShortcut + "http://plain/\r\n");
    Read();
    std::vector<std::string> names;
    for (int i = 1; i < m_view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = m_view.BookmarkAt(i);
        names.push_back(p->m_strName + "=" + p->m_strFileName.str());
    }
    EXPECT_EQ(Sorted(names), Sorted({"X=X.URL", "Work=Work.2000", "a.b=a.b.url", "plain=plain"}));
}

// A Windows path ends at MAX_PATH, far short of this depth.
#ifndef _WIN32
// Directories nested deeper than the limit are not listed; a path longer than
// the system takes whole is still read.
TEST_F(FavoritesTest, DepthAndLongPaths) {
    std::string strRel;
    for (int i = 0; i <= kMaxFolderDepth; ++i) {
        strRel += "d/";
        m_dir.Write(strRel + "x.url", kShortcut + "http://" + std::to_string(i + 1) + "/\r\n");
    }
    // Twenty names of 250 characters: no path to the bottom fits in PATH_MAX.
    int fd = open(Root().c_str(), O_RDONLY | O_DIRECTORY);
    const std::string strLong(250, 'L');
    for (int i = 0; i < 20 && fd >= 0; ++i) {
        ASSERT_EQ(mkdirat(fd, strLong.c_str(), 0700), 0);
        const int nNext = openat(fd, strLong.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = nNext;
    }
    ASSERT_GE(fd, 0);
    const int nFile = openat(fd, "deep.url", O_WRONLY | O_CREAT | O_EXCL, 0600);
    const std::string strText = kShortcut + "http://deep/\r\n";
    ASSERT_EQ(write(nFile, strText.data(), strText.size()), static_cast<ssize_t>(strText.size()));
    close(nFile);
    close(fd);
    Read();
    int nDeepest = 0;
    std::vector<std::string> urls;
    for (const CBookmark* p : m_view.Bookmarks()) {
        urls.push_back(p->m_strURL.str());
        int nDepth = 0;
        for (const CBookmark* f = p->m_pFolder; f->m_pFolder != nullptr; f = f->m_pFolder) {
            ++nDepth;
        }
        nDeepest = std::max(nDeepest, nDepth);
    }
    EXPECT_EQ(nDeepest, kMaxFolderDepth);
    EXPECT_EQ(urls.size(), static_cast<std::size_t>(kMaxFolderDepth + 1));
    EXPECT_NE(std::find(urls.begin(), urls.end(), "http://deep/"), urls.end());
    EXPECT_NE(std::find(urls.begin(), urls.end(), "http://1000/"), urls.end());
    EXPECT_EQ(std::find(urls.begin(), urls.end(), "http://1001/"), urls.end());
    EXPECT_TRUE(m_view.m_missingCalls.empty());
}
#endif

// A file system whose directories take a while to list.
class CSlowListing : public CFailingFileSystem {
public:
    bool ListDirectory(const std::string& strDir, CDirListing& listing) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        return CFailingFileSystem::ListDirectory(strDir, listing);
    }
};

// The hooks of an import, with the thread that called them.
class CImportView : public CTestView {
public:
    std::vector<EImportStep> m_steps;
    std::vector<std::size_t> m_counts;
    std::set<std::thread::id> m_threads;
    void ImportProgress(EImportStep step) override {
        m_steps.push_back(step);
        m_threads.insert(std::this_thread::get_id());
    }
    void ImportCount(std::size_t nRead) override {
        m_counts.push_back(nRead);
        m_threads.insert(std::this_thread::get_id());
    }
    void MarkStoreMissing(std::uint32_t nStore) override {
        CTestView::MarkStoreMissing(nStore);
        m_threads.insert(std::this_thread::get_id());
    }
};

// The Favorites are walked while the Netscape file is read: both stores are
// in the catalogue, and the hooks run on the importing thread only, telling
// the walk's progress while it outlasts the other reader.
TEST(ImportTest, TheFavoritesAreWalkedBesideTheNetscapeFile) {
    CTempDir dir;
    dir.Write("fav/One.url", kShortcut + "http://one/\r\n");
    dir.Write("fav/A/Two.url", kShortcut + "http://two/\r\n");
    dir.Write("fav/B/Three.url", kShortcut + "http://three/\r\n");
    dir.Write("ns.htm",
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<H1>Bookmarks</H1>\n<DL><p>\n"
              "<DT><A HREF=\"http://ns/\">NS</A>\n</DL><p>\n");
    CSlowListing fileSystem;
    CImportView view;
    view.m_pFileSystem = &fileSystem;
    view.m_bMSIE = true;
    view.m_strFavorites = dir / "fav";
    view.m_bNetscape = true;
    view.m_strNSFile = dir / "ns.htm";
    view.ReadStores();

    std::vector<std::string> urls;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        urls.push_back(view.BookmarkAt(i)->m_strURL.str());
    }
    EXPECT_EQ(Sorted(urls), Sorted({dir / "fav", dir / "fav/A", dir / "fav/B",
                                    JoinPath(dir / "fav", kNetscapeRootName), "http://ns/",
                                    "http://one/", "http://three/", "http://two/"}));
    EXPECT_EQ(view.m_threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(view.m_steps,
              (std::vector<EImportStep>{IMPORT_START, IMPORT_FAVORITES, IMPORT_NETSCAPE,
                                        IMPORT_FAVORITES, IMPORT_READ, IMPORT_DONE}));
    ASSERT_GE(view.m_counts.size(), 3u);
    EXPECT_TRUE(std::is_sorted(view.m_counts.begin(), view.m_counts.end()));
    EXPECT_EQ(view.m_counts.back(), 8u);
    EXPECT_TRUE(view.m_missingCalls.empty());

    // Neither store there: both are marked, from the importing thread.
    view.m_bMSIE = false;
    view.m_strNSFile = dir / "gone.htm";
    view.m_threads.clear();
    view.ReadStores();
    EXPECT_EQ(view.m_nMissing, STORE_FAVORITES | STORE_NETSCAPE);
    EXPECT_EQ(view.m_missingCalls.size(), 2u);
    EXPECT_EQ(view.m_threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(view.m_bookmarks.GetSize(), 1);
}

}  // namespace
