// The writers: tree keys, the Netscape file text, shortcut paths and files, the
// HTML export of a selection and the clipboard text.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "catalogue/HtmlText.h"
#include "platform/Path.h"
#include "tests/TestSupport.h"
#include "writeback/Messages.h"

namespace {

constexpr std::uint32_t kNSFolder = BMF_FOLDER | BMF_NETSCAPE;
constexpr std::uint32_t kIEFolder = BMF_FOLDER | BMF_MSIE;

// A record in the view's catalogue; the three dates are t, t + 1 and t + 2.
CBookmark* Add(CTVLDlgBase& view, const std::string& strName, CBookmark* pFolder,
               std::uint32_t nFlags, const std::string& strURL = "", CTime t = 0) {
    auto* p = new CBookmark;
    p->m_strName = strName;
    p->m_pFolder = pFolder;
    p->m_nFlags = nFlags;
    p->m_strURL = strURL;
    p->m_tAdded = t;
    p->m_tVisited = t + 1;
    p->m_tModified = t + 2;
    view.m_bookmarks.Add(p);
    return p;
}

std::string Crlf(const std::string& str) {
    std::string strOut;
    for (char c : str) {
        strOut += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return strOut;
}

// The names of the folders above a record, outermost first.
std::string Chain(const CBookmark* p) {
    std::string s;
    for (p = p->NSFolder(); p != nullptr && p->m_pFolder != nullptr; p = p->m_pFolder) {
        s.insert(0, p->m_strName + " > ");
    }
    return s;
}

// Each case builds a catalogue; Save's writer turns it into the whole file.
struct CTextCase {
    const char* pszName;
    std::function<void(CTestView&, CBookmark*)> build;  // gets the Netscape root
    std::string strBody;                                // between the outer list lines
};

const CTextCase kTextCases[] = {
    {"OnlyTheRoot", [](CTestView&, CBookmark*) {}, ""},
    {"BothBrowsersInTheNetscapeFolder",
     [](CTestView& v, CBookmark* pRoot) {
         CBookmark* pIEF = Add(v, "IEF", Add(v, "", nullptr, kIEFolder), kIEFolder);
         CBookmark* pNSF = Add(v, "NSF", pRoot, kNSFolder, "", 9);
         Add(v, "both", pIEF, BMF_MSIE | BMF_NETSCAPE, "http://b/", 1)->m_pNSFolder = pNSF;
     },
     "    <DT><H3 FOLDED ADD_DATE=\"9\">NSF</H3>\n      <DL><p>\n"
     "      <DT><A HREF=\"http://b/\"  ADD_DATE=\"1\" LAST_VISIT=\"2\" "
     "LAST_MODIFIED=\"3\">both</A>\n"
     "      </DL><p>\n"},
    {"BothBrowsersWithTheNetscapeCopysText",
     [](CTestView& v, CBookmark* pRoot) {
         CBookmark* pIEF = Add(v, "IEF", Add(v, "", nullptr, kIEFolder), kIEFolder);
         CBookmark* p = Add(v, "shown", pIEF, BMF_MSIE | BMF_NETSCAPE, "HTTP://X/", 50);
         p->m_pNSFolder = pRoot;
         p->m_nsPart.SetCopy(
             std::make_unique<CNetscapeCopy>(CNetscapeCopy{"Kept", "http://x", 7, 8, 9, {}}));
     },
     "    <DT><A HREF=\"http://x\"  ADD_DATE=\"7\" LAST_VISIT=\"8\" "
     "LAST_MODIFIED=\"9\">Kept</A>\n"},
    {"DeepNestingClosedAtTheEnd",
     [](CTestView& v, CBookmark* pRoot) {
         CBookmark* pC =
             Add(v, "c", Add(v, "b", Add(v, "a", pRoot, kNSFolder, "", 1), kNSFolder, "", 2),
                 kNSFolder, "", 3);
         Add(v, "d", pC, BMF_NETSCAPE, "u", 10);
     },
     "    <DT><H3 FOLDED ADD_DATE=\"1\">a</H3>\n      <DL><p>\n"
     "      <DT><H3 FOLDED ADD_DATE=\"2\">b</H3>\n        <DL><p>\n"
     "        <DT><H3 FOLDED ADD_DATE=\"3\">c</H3>\n          <DL><p>\n"
     "          <DT><A HREF=\"u\"  ADD_DATE=\"10\" LAST_VISIT=\"11\" LAST_MODIFIED=\"12\">d</A>\n"
     "          </DL><p>\n        </DL><p>\n      </DL><p>\n"},
    {"PlainTextEscaped",
     [](CTestView& v, CBookmark* pRoot) {
         Add(v, "Fish & <Chips> \"q\"\n&amp;", pRoot, BMF_NETSCAPE,
             "http://x/?a=1&b=\"2\"<&amp;&#10;");
     },
     "    <DT><A HREF=\"http://x/?a=1&b=&quot;2&quot;<&amp;amp;&#10;\"  ADD_DATE=\"0\" "
     "LAST_VISIT=\"1\" LAST_MODIFIED=\"2\">Fish &amp; &lt;Chips&gt; \"q\"&#10;&amp;amp;</A>\n"},
    {"HighByteFolderAfterTheBookmarks",
     [](CTestView& v, CBookmark* pRoot) {
         CBookmark* pP = Add(v, "P", pRoot, kNSFolder, "", 1);
         Add(v, "in", Add(v, "\xC3\xA9t\xC3\xA9", pP, kNSFolder, "", 2), BMF_NETSCAPE, "i", 3);
         Add(v, "z", pP, BMF_NETSCAPE, "z", 4);
         Add(v, "Q", pP, kNSFolder, "", 5);
     },
     "    <DT><H3 FOLDED ADD_DATE=\"1\">P</H3>\n      <DL><p>\n"
     "      <DT><H3 FOLDED ADD_DATE=\"5\">Q</H3>\n        <DL><p>\n        </DL><p>\n"
     "      <DT><A HREF=\"z\"  ADD_DATE=\"4\" LAST_VISIT=\"5\" LAST_MODIFIED=\"6\">z</A>\n"
     "      <DT><H3 FOLDED ADD_DATE=\"2\">\xC3\xA9t\xC3\xA9</H3>\n        <DL><p>\n"
     "        <DT><A HREF=\"i\"  ADD_DATE=\"3\" LAST_VISIT=\"4\" LAST_MODIFIED=\"5\">in</A>\n"
     "        </DL><p>\n      </DL><p>\n"},
    {"SiblingsOrderedByTheWholeName",
     [](CTestView& v, CBookmark* pRoot) {
         Add(v, "zz", pRoot, BMF_NETSCAPE, "z", 1);
         Add(v, "bookmarkA", pRoot, BMF_NETSCAPE, "u2", 2);
         Add(v, "Same", pRoot, BMF_NETSCAPE, "s", 5);
         Add(v, "Bookmark_b", pRoot, BMF_NETSCAPE, "u", 3);
         Add(v, "folder name b", pRoot, kNSFolder, "", 4);
         Add(v, "\xC3\xA9t\xC3\xA9", pRoot, BMF_NETSCAPE, "e", 6);
         Add(v, "BOOKMARKa", pRoot, BMF_NETSCAPE, "u1", 7);
         Add(v, "Bookmark", pRoot, BMF_NETSCAPE, "u", 8);
         Add(v, "Same", pRoot, BMF_NETSCAPE, "s", 3);
         Add(v, "bookmark\x01", pRoot, BMF_NETSCAPE, "u", 9);
         Add(v, "Folder name A", pRoot, kNSFolder, "", 10);
         Add(v, "Bookmar", pRoot, BMF_NETSCAPE, "u", 11);
     },
     "    <DT><H3 FOLDED ADD_DATE=\"10\">Folder name A</H3>\n      <DL><p>\n      </DL><p>\n"
     "    <DT><H3 FOLDED ADD_DATE=\"4\">folder name b</H3>\n      <DL><p>\n      </DL><p>\n"
     "    <DT><A HREF=\"u\"  ADD_DATE=\"11\" LAST_VISIT=\"12\" LAST_MODIFIED=\"13\">Bookmar</A>\n"
     "    <DT><A HREF=\"u\"  ADD_DATE=\"8\" LAST_VISIT=\"9\" LAST_MODIFIED=\"10\">Bookmark</A>\n"
     "    <DT><A HREF=\"u\"  ADD_DATE=\"9\" LAST_VISIT=\"10\" "
     "LAST_MODIFIED=\"11\">bookmark\x01</A>\n"
     "    <DT><A HREF=\"u\"  ADD_DATE=\"3\" LAST_VISIT=\"4\" LAST_MODIFIED=\"5\">Bookmark_b</A>\n"
     "    <DT><A HREF=\"u1\"  ADD_DATE=\"7\" LAST_VISIT=\"8\" LAST_MODIFIED=\"9\">BOOKMARKa</A>\n"
     "    <DT><A HREF=\"u2\"  ADD_DATE=\"2\" LAST_VISIT=\"3\" LAST_MODIFIED=\"4\">bookmarkA</A>\n"
     "    <DT><A HREF=\"s\"  ADD_DATE=\"3\" LAST_VISIT=\"4\" LAST_MODIFIED=\"5\">Same</A>\n"
     "    <DT><A HREF=\"s\"  ADD_DATE=\"5\" LAST_VISIT=\"6\" LAST_MODIFIED=\"7\">Same</A>\n"
     "    <DT><A HREF=\"z\"  ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\">zz</A>\n"
     "    <DT><A HREF=\"e\"  ADD_DATE=\"6\" LAST_VISIT=\"7\" "
     "LAST_MODIFIED=\"8\">\xC3\xA9t\xC3\xA9</A>\n"},
    {"DatesBeyond32BitsAndBefore1970",
     [](CTestView& v, CBookmark* pRoot) {
         Add(v, "old", pRoot, BMF_NETSCAPE, "o", -5);
         Add(v, "far", pRoot, BMF_NETSCAPE, "f", 1234567890123456);
     },
     "    <DT><A HREF=\"f\"  ADD_DATE=\"1234567890123456\" LAST_VISIT=\"1234567890123457\" "
     "LAST_MODIFIED=\"1234567890123458\">far</A>\n"
     "    <DT><A HREF=\"o\"  ADD_DATE=\"0\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\">old</A>\n"},
};

class WriterTextTest : public testing::TestWithParam<CTextCase> {};

TEST_P(WriterTextTest, WholeFile) {
    const CTempDir dir;
    CTestView view;
    view.m_strNSHeader = "<H1>T</H1>\n\n";
    view.m_bNSHeading = true;
    view.m_strNSFile = dir / "bookmark.htm";
    GetParam().build(view, Add(view, "", nullptr, kNSFolder));
    ASSERT_EQ(view.SaveNetscapeFile({}), CTVLDlgBase::SAVE_DONE);
    EXPECT_EQ(ReadFileBytes(view.m_strNSFile),
              Crlf("<H1>T</H1>\n\n<DL><p>\n" + GetParam().strBody + "</DL>\n"));
    EXPECT_EQ(view.m_messages, std::vector<std::string>{});  // no file was there to back up
}

INSTANTIATE_TEST_SUITE_P(WriterText, WriterTextTest, testing::ValuesIn(kTextCases),
                         [](const auto& info) { return info.param.pszName; });

// A file of megabytes, given in pieces of every size: its bytes reach the
// sink in order with Windows line ends, also once they are written on a
// second thread; a sink that fails there takes nothing more, and Close says
// so; a writer destroyed without Close stops.
// The escapes find their bytes sixteen at a time where they can: each byte
// that HTML text changes, at every place in and after a block of sixteen,
// is found and escaped as a byte-for-byte search would.
TEST(WriterTest, EscapesFindEveryByteAtEveryPlace) {
    const auto reference = [](const std::string& strText, bool bURL) {
        std::string strOut;
        for (std::size_t i = 0; i < strText.size(); ++i) {
            const char c = strText[i];
            if (bURL) {
                strOut += c == '"' ? "&quot;" : std::string(1, c);
            } else {
                strOut += c == '&'    ? "&amp;"
                          : c == '<'  ? "&lt;"
                          : c == '>'  ? "&gt;"
                          : c == '\n' ? "&#10;"
                          : c == '\r' ? "&#13;"
                                      : std::string(1, c);
            }
        }
        return strOut;
    };
    for (const char c : {'&', '"', '<', '>', '\n', '\r'}) {
        for (std::size_t nSize = 1; nSize <= 40; ++nSize) {
            for (std::size_t nAt = 0; nAt < nSize; ++nAt) {
                std::string strText(nSize, 'x');
                strText[nAt] = c;
                EXPECT_EQ(FindHtmlSpecial(strText, 0), nAt) << int(c) << " " << nSize << " " << nAt;
                EXPECT_EQ(FindHtmlSpecial(strText, nAt + 1), std::string::npos);
                // "&x" starts no reference, so a URL keeps it as it is.
                EXPECT_EQ(EscapeHtmlURL(strText), reference(strText, true));
                EXPECT_EQ(EscapeHtmlName(strText), reference(strText, false));
            }
        }
    }
    const std::string strPlain(100, 'a');
    EXPECT_EQ(FindHtmlSpecial(strPlain, 0), std::string::npos);
    EXPECT_EQ(FindHtmlSpecial(strPlain, 100), std::string::npos);
    EXPECT_EQ(FindHtmlSpecial("a&b&c", 2), 3u);
}

TEST(WriterTest, LargeFilesArriveWholeAndInOrder) {
    std::string strText;
    for (int i = 0; strText.size() < (5u << 20); ++i) {
        strText += "line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'x');
        strText += i % 5 == 0 ? "\n\n" : "\n";
    }
    const std::string strExpected = Crlf(strText);
    const auto writeAll = [&strText](CTextFileWriter& file) {
        for (std::size_t nAt = 0, nPiece = 1; nAt < strText.size(); nAt += nPiece) {
            nPiece = 1 + (nAt * 7919) % 150000;
            file.WriteString(std::string_view(strText).substr(nAt, nPiece));
        }
    };
    CStringSink sink;
    {
        CTextFileWriter file(sink);
        writeAll(file);
        EXPECT_TRUE(file.Close());
    }
    EXPECT_TRUE(sink.m_strBytes == strExpected);

    struct CFailingSink : CByteSink {
        std::size_t nFailAt = 0;
        std::string strBytes;
        int nCallsAfter = 0;
        bool Write(const char* pData, std::size_t nSize) override {
            if (strBytes.size() >= nFailAt) {
                ++nCallsAfter;
                return false;
            }
            strBytes.append(pData, nSize);
            return strBytes.size() <= nFailAt;
        }
    };
    for (const std::size_t nFailAt : {std::size_t{100}, std::size_t{3} << 20}) {
        CFailingSink failing;
        failing.nFailAt = nFailAt;
        CTextFileWriter file(failing);
        writeAll(file);
        EXPECT_FALSE(file.Close()) << nFailAt;
        EXPECT_EQ(failing.nCallsAfter, 0) << nFailAt;
        EXPECT_TRUE(strExpected.compare(0, failing.strBytes.size(), failing.strBytes) == 0);
    }
    CStringSink dropped;
    {
        CTextFileWriter file(dropped);
        writeAll(file);
    }
    EXPECT_LT(dropped.m_strBytes.size(), strExpected.size());
    EXPECT_TRUE(strExpected.compare(0, dropped.m_strBytes.size(), dropped.m_strBytes) == 0);
}

// A list whose start folder is not the parent of what follows: no closing line
// is written for a level that the call did not open.
TEST(WriterTest, NeverClosesALevelItDidNotOpen) {
    CTestView view;
    CBookmark* pRoot = Add(view, "", nullptr, kNSFolder);
    CBookmarkArray list;
    list.Add(Add(view, "S", Add(view, "T", pRoot, kNSFolder), kNSFolder));
    list.Add(Add(view, "x", pRoot, BMF_NETSCAPE, "x", 1));
    for (const bool bCloseFirst : {true, false}) {
        CStringSink sink;
        CTextFileWriter file(sink);
        CTVLDlgBase::WriteTree(list, file, bCloseFirst);
        ASSERT_TRUE(file.Close());
        EXPECT_EQ(
            sink.m_strBytes,
            "    <DT><A HREF=\"x\"  ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\">x</A>\r\n");
    }
    list.RemoveAll();
}

// Sibling folders equal without case (two of them without a name) and a folder
// name holding a backslash: the file is well formed and every bookmark reads
// back in its own folder.
TEST(WriterTest, CollidingFoldersKeepTheirContents) {
    const CTempDir dir;
    const std::string strText = Crlf(
        "<TITLE>T</TITLE>\n<H1>T</H1>\n<DL><p>\n"
        "<DT><H3 ADD_DATE=\"1\">News</H3>\n<DL><p>\n<DT><A HREF=\"http://1/\">n1</A>\n"
        "<DT><H3 ADD_DATE=\"2\">Sub</H3>\n<DL><p>\n<DT><A HREF=\"http://2/\">s1</A>\n</DL><p>\n"
        "</DL><p>\n<DT><H3 ADD_DATE=\"3\">A</H3>\n<DL><p>\n<DT><H3 ADD_DATE=\"4\">B</H3>\n"
        "<DL><p>\n<DT><A HREF=\"http://3/\">ab</A>\n</DL><p>\n<DT><A HREF=\"http://4/\">a</A>\n"
        "</DL><p>\n<DT><H3 ADD_DATE=\"5\">NEWS</H3>\n<DL><p>\n<DT><A HREF=\"http://5/\">n2</A>\n"
        "<DT><H3 ADD_DATE=\"6\">sub</H3>\n<DL><p>\n<DT><A HREF=\"http://6/\">s2</A>\n</DL><p>\n"
        "</DL><p>\n<DT><H3 ADD_DATE=\"7\">A\\B</H3>\n<DL><p>\n<DT><A HREF=\"http://7/\">slash</A>\n"
        "</DL><p>\n<DT><H3 ADD_DATE=\"8\"></H3>\n<DL><p>\n<DT><A "
        "HREF=\"http://9/\">e1</A>\n</DL><p>\n"
        "<DT><H3 ADD_DATE=\"9\"></H3>\n<DL><p>\n<DT><A HREF=\"http://10/\">e2</A>\n</DL><p>\n"
        "<DT><A HREF=\"http://8/\">top</A>\n</DL><p>\n");
    auto read = [](CTestView& view, const std::string& strBytes) {
        CTextFileReader reader;
        reader.AttachMemory(strBytes.data(), strBytes.size());
        view.ReadNetscapeStream(reader, Add(view, "", nullptr, kNSFolder));
        std::vector<std::string> chains;
        for (const CBookmark* p : view.Bookmarks()) {
            chains.push_back(Chain(p) + p->m_strName);
        }
        std::sort(chains.begin(), chains.end());
        return chains;
    };
    CTestView view;
    const std::vector<std::string> before = read(view, strText);
    EXPECT_EQ(before, (std::vector<std::string>{" > e1", " > e2", "A > B > ab", "A > a",
                                                "A\\B > slash", "NEWS > n2", "NEWS > sub > s2",
                                                "News > Sub > s1", "News > n1", "top"}));
    view.m_strNSFile = dir / "bookmark.htm";
    ASSERT_EQ(view.SaveNetscapeFile({}), CTVLDlgBase::SAVE_DONE);
    const std::string strWritten = ReadFileBytes(view.m_strNSFile);
    int nDepth = 0;
    bool bClosed = false;
    for (std::size_t i = strWritten.find("<DL><p>"); i < strWritten.size();) {
        const std::size_t nEnd = strWritten.find("\r\n", i);
        const std::string strLine = strWritten.substr(i, nEnd - i);
        EXPECT_FALSE(bClosed) << "after the outer list: " << strLine;
        nDepth += strLine.ends_with("<DL><p>")
                      ? 1
                      : (strLine.find("</DL>") != std::string::npos ? -1 : 0);
        EXPECT_GE(nDepth, 0);
        bClosed = nDepth == 0;
        i = nEnd + 2;
    }
    EXPECT_TRUE(bClosed);
    CTestView reread;
    EXPECT_EQ(read(reread, strWritten), before);
    // Saved again without change, the file stays the same.
    reread.m_strNSFile = dir / "again.htm";
    ASSERT_EQ(reread.SaveNetscapeFile({}), CTVLDlgBase::SAVE_DONE);
    EXPECT_EQ(ReadFileBytes(reread.m_strNSFile), strWritten);
}

// A large tree is ordered on two threads. Each folder's records come in the
// order that ordering them alone gives: names that share their first 16 bytes
// or differ only in case, equal names with other URLs, and records equal but
// for their dates, which keep their catalogue order.
TEST(WriterTest, LargeTreesOrderEachFolderAsAlone) {
    CTestView view;
    std::mt19937 random(7);
    CBookmark* pRoot = Add(view, "", nullptr, kNSFolder);
    std::vector<CBookmark*> folders{pRoot};
    for (int i = 0; i < 300; ++i) {
        folders.push_back(Add(view, "Folder " + std::to_string(random() % 40),
                              folders[random() % folders.size()], kNSFolder, "", i));
    }
    const char* const kNames[] = {"Bookmarks of the week ",
                                  "BOOKMARKS OF THE WEEK ",
                                  "Bookmarks of the",
                                  "bookmarks",
                                  "Zebra",
                                  ""};
    for (int i = 0; i < 70000; ++i) {
        // A third of the records sit in the root, whose group spans both halves.
        CBookmark* pFolder = random() % 3 == 0 ? pRoot : folders[random() % folders.size()];
        const std::string strName =
            std::string(kNames[random() % std::size(kNames)]) + std::to_string(random() % 4);
        Add(view, strName, pFolder, BMF_NETSCAPE, "http://x/" + std::to_string(random() % 3),
            static_cast<CTime>(random() % 2));
    }
    std::vector<CBookmark*> records;
    for (CBookmark* p : view.Bookmarks()) {
        if (p != pRoot) {
            records.push_back(p);
        }
    }
    std::shuffle(records.begin(), records.end(), random);
    CBookmarkArray list;
    CTVLDlgBase::OrderTree(pRoot, records, {}, list);
    ASSERT_EQ(list.GetSize(), static_cast<int>(records.size()) + 1);
    std::map<const CBookmark*, std::vector<CBookmark*>> children;
    for (int i = 1; i < list.GetSize(); ++i) {
        auto* p = static_cast<CBookmark*>(list[i]);
        children[p->m_pFolder].push_back(p);
    }
    for (CBookmark* pFolder : folders) {
        std::vector<CBookmark*> alone;
        std::copy_if(records.begin(), records.end(), std::back_inserter(alone),
                     [&](const CBookmark* p) { return p->m_pFolder == pFolder; });
        CBookmarkArray order;
        CBookmark start;
        CTVLDlgBase::OrderTree(&start, alone, {}, order);
        std::vector<CBookmark*> expected;
        for (int i = 1; i < order.GetSize(); ++i) {
            expected.push_back(static_cast<CBookmark*>(order[i]));
        }
        EXPECT_EQ(children[pFolder], expected) << pFolder->m_strName;
        order.RemoveAll();
        // Bookmarks by name without case, then by URL.
        const std::vector<CBookmark*>& got = children[pFolder];
        for (std::size_t i = 1; i < got.size(); ++i) {
            const CBookmark& a = *got[i - 1];
            const CBookmark& b = *got[i];
            if (((a.m_nFlags | b.m_nFlags) & BMF_FOLDER) == 0) {
                const int r = CompareNoCase(a.m_strName, b.m_strName);
                EXPECT_TRUE(r < 0 || (r == 0 && CompareNoCase(a.m_strURL, b.m_strURL) <= 0))
                    << a.m_strName << " " << a.m_strURL << " / " << b.m_strName << " "
                    << b.m_strURL;
            }
        }
    }
    list.RemoveAll();
}

class ShortcutWriteTest : public testing::Test {
protected:
    CTempDir m_dir;
    CFailingFileSystem m_fs;
    CTestView m_view;
    CBookmark* m_pWork = nullptr;
    std::string m_strFav = m_dir / "Favorites";
    std::string m_strWork = m_dir / "Favorites/Netscape Bookmarks/Work";
    void SetUp() override {
        m_view.m_pFileSystem = &m_fs;
        m_view.m_strFavorites = m_strFav;
        std::filesystem::create_directory(m_strFav);
        m_pWork = Add(m_view, "Work",
                      Add(m_view, "", nullptr, kNSFolder, m_dir / "Favorites/Netscape Bookmarks"),
                      kNSFolder);
    }
    bool Write(const CBookmark* pMark) {
        const auto pTree = m_fs.OpenTree(m_view.m_strFavorites);
        return m_view.WriteShortcut(pTree.get(), *pMark);
    }
};

// std::filesystem makes no symbolic links on Windows.
#ifndef _WIN32
// Both missing directories are made. A name that is taken, by a file, a link
// (to a file outside the tree, or to nothing) or a directory, is never written
// over or through: the bookmark gets the next free numbered name.
TEST_F(ShortcutWriteTest, CreatesMissingDirectoriesAndNeverWritesOver) {
    CBookmark* pDocs = Add(m_view, "Docs", m_pWork, BMF_NETSCAPE, "http://docs/?a&b");
    ASSERT_TRUE(Write(pDocs));
    const std::string strFirst = "[InternetShortcut]\r\nURL=http://docs/?a&b\r\n";
    EXPECT_EQ(ReadFileBytes(m_strWork + "/Docs.url"), strFirst);

    m_dir.Write("outside.txt", "precious");
    std::filesystem::create_symlink(m_dir / "outside.txt", m_strWork + "/Docs (2).url");
    std::filesystem::create_symlink(m_dir / "nowhere", m_strWork + "/Docs (3).url");
    std::filesystem::create_directory(m_strWork + "/Docs (4).url");
    pDocs->m_strURL = "http://other/";
    ASSERT_TRUE(Write(pDocs));
    EXPECT_EQ(ReadFileBytes(m_strWork + "/Docs (5).url"),
              "[InternetShortcut]\r\nURL=http://other/\r\n");
    EXPECT_EQ(ReadFileBytes(m_strWork + "/Docs.url"), strFirst);
    EXPECT_EQ(ReadFileBytes(m_dir / "outside.txt"), "precious");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "nowhere"));
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{});
}

// A directory on the way that is a link leads out of the tree: nothing is
// created through it, and the message names it.
TEST_F(ShortcutWriteTest, NeverThroughALinkedDirectory) {
    std::filesystem::create_directory(m_dir / "elsewhere");
    std::filesystem::create_symlink(m_dir / "elsewhere", m_strFav + "/Netscape Bookmarks");
    EXPECT_FALSE(Write(Add(m_view, "Docs", m_pWork, BMF_NETSCAPE, "u")));
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{"Cannot create the file \"" + m_strFav +
                                                          "/Netscape Bookmarks\""});
    EXPECT_TRUE(std::filesystem::is_empty(m_dir / "elsewhere"));
}
#endif

TEST_F(ShortcutWriteTest, FailuresNameThePath) {
    m_fs.m_failPaths = {m_strWork};
    EXPECT_FALSE(Write(Add(m_view, "Docs", m_pWork, BMF_NETSCAPE, "u")));
    EXPECT_EQ(m_view.m_messages,
              (std::vector<std::string>{"Cannot create directory \"" + m_strWork + "\"",
                                        "Cannot create the file \"" + m_strWork + "\""}));
    EXPECT_TRUE(std::filesystem::is_directory(m_strFav + "/Netscape Bookmarks"));
    EXPECT_FALSE(std::filesystem::exists(m_strWork));

    // The file itself cannot be created: the full path, and nothing is left.
    m_fs.m_failPaths = {JoinPath(m_strWork, "Docs.url")};
    m_view.m_messages.clear();
    EXPECT_FALSE(Write(Add(m_view, "Docs", m_pWork, BMF_NETSCAPE, "u")));
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{"Cannot create the file \"" +
                                                          JoinPath(m_strWork, "Docs.url") + "\""});
    EXPECT_TRUE(std::filesystem::is_empty(m_strWork));

    // The Favorites directory is gone: the message names it.
    m_fs.m_failPaths.clear();
    m_view.m_messages.clear();
    m_view.m_strFavorites = m_dir / "gone";
    EXPECT_FALSE(Write(Add(m_view, "x", m_pWork, BMF_NETSCAPE, "u")));
    EXPECT_EQ(m_view.m_messages,
              std::vector<std::string>{"Cannot create the file \"" + m_dir / "gone" + "\""});
    EXPECT_FALSE(std::filesystem::exists(m_dir / "gone"));
#ifdef _WIN32
    // Not even its drive is there: the message names the drive.
    m_view.m_messages.clear();
    m_view.m_strFavorites = "Q:\\Users\\me\\Favorites";
    EXPECT_FALSE(Write(Add(m_view, "x", m_pWork, BMF_NETSCAPE, "u")));
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{"Cannot create the file \"Q:\""});
#endif
}

// The example of the HTML export, with edge cases: a case variant of a folder
// name joins the group, a root bookmark gets an empty heading, and a folder
// whose rows are split gets a second heading.
TEST(HtmlExportTest, GroupedOrFlat) {
    const CTempDir dir;
    const int savedKeys[4] = {g_sortKeys[0], g_sortKeys[1], g_sortKeys[2], g_sortKeys[3]};
    CTestView view;
    CBookmark* pRoot = Add(view, "", nullptr, kIEFolder);
    CBookmark* pNews = Add(view, "News", pRoot, kIEFolder);
    CBookmark* pTools = Add(view, "Tools", Add(view, "", nullptr, kNSFolder), kNSFolder);
    CBookmark* pX = Add(view, "x", pNews, BMF_MSIE, "U1");
    CBookmark* pY = Add(view, "y", Add(view, "news", pTools, kNSFolder), BMF_NETSCAPE, "U2");
    CBookmark* pZ = Add(view, "z", pTools, BMF_NETSCAPE, "U3");
    CBookmark* pR = Add(view, "r & <b>", pRoot, BMF_MSIE, "http://r/?a&b");
    const std::string strHead =
        "<!DOCTYPE Bookmark-file>\n<HTML>\n<BODY>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
        "<DL><p>\n";
    const std::string strTail = "</DL>\n</BODY>\n</HTML>\n";
    const std::string strX = "  <DT><A HREF=\"U1\">x</A>\n", strY = "  <DT><A HREF=\"U2\">y</A>\n",
                      strZ = "  <DT><A HREF=\"U3\">z</A>\n";
    const struct {
        int nKey;
        std::vector<CBookmark*> rows;
        std::string strBody;
    } cases[] = {
        {COL_FOLDER + 1,
         {pX, pY, pZ},
         "  <DT><H3>News</H3>\n    <DL><p>\n" + strX + strY +
             "    </DL><p>\n  <DT><H3>Tools</H3>\n    <DL><p>\n" + strZ + "    </DL><p>\n"},
        {COL_NAME + 1, {pX, pY, pZ}, strX + strY + strZ},
        {COL_FOLDER + 1,
         {pX, pZ, pY, pR},
         "  <DT><H3>News</H3>\n    <DL><p>\n" + strX +
             "    </DL><p>\n  <DT><H3>Tools</H3>\n    <DL><p>\n" + strZ +
             "    </DL><p>\n  <DT><H3>news</H3>\n    <DL><p>\n" + strY +
             "    </DL><p>\n  <DT><H3></H3>\n    <DL><p>\n"
             "  <DT><A HREF=\"http://r/?a&b\">r &amp; &lt;b&gt;</A>\n    </DL><p>\n"},
    };
    for (const auto& c : cases) {
        g_sortKeys[0] = c.nKey;
        view.m_selected = c.rows;
        view.CreateHtmlFile(dir / "out.htm");
        EXPECT_EQ(ReadFileBytes(dir / "out.htm"), Crlf(strHead + c.strBody + strTail));
    }
    std::copy(std::begin(savedKeys), std::end(savedKeys), g_sortKeys);
    EXPECT_EQ(view.m_messages, std::vector<std::string>{});
    view.CreateHtmlFile(dir / "missing/out.htm");
    EXPECT_EQ(view.m_messages,
              std::vector<std::string>{"Cannot open the file \"" + dir / "missing/out.htm" + "\""});
}

TEST(ClipboardTest, UrlsWithLineEnds) {
    CTestView view;
    CBookmark* pRoot = Add(view, "", nullptr, kNSFolder);
    const struct {
        std::vector<CBookmark*> rows;
        std::string strText;
    } cases[] = {
        {{Add(view, "b", pRoot, BMF_NETSCAPE, "http://b/"), Add(view, "e", pRoot, BMF_NETSCAPE),
          Add(view, "a", pRoot, BMF_NETSCAPE, "http://a.example/x")},
         "http://b/\r\n\r\nhttp://a.example/x\r\n"},
        {{view.Named("e")}, "\r\n"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        view.m_selected = c.rows;
        ASSERT_EQ(view.GetSelectionTextSize(), c.strText.size());
        std::string strBuffer(c.strText.size() + 2, '#');
        view.GetSelectionText(strBuffer.data());
        EXPECT_EQ(strBuffer, c.strText + '\0' + '#');
    }
}

}  // namespace
