// Feeds arbitrary bytes to the Netscape bookmark reader, writes the records
// back and reads them again, joins them with Favorites copies of some of them,
// and lists and sorts the rows, trapping as soon as the catalogue loses its
// shape or a save would change what the file carries.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "platform/TextFile.h"

namespace {

void Check(bool bOk) {
    if (!bOk) {
        __builtin_trap();
    }
}

int Sign(int n) {
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// Reading a stream never concerns the store discovery, so no store goes missing.
class CFuzzView : public CTVLDlgBase {
public:
    void MarkStoreMissing(std::uint32_t) override { __builtin_trap(); }
};

// The input as the reader sees it: every CR LF pair read as one "\n".
std::string TextMode(std::string_view input) {
    std::string strText;
    strText.reserve(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') {
            continue;
        }
        strText += input[i];
    }
    return strText;
}

// Splits after each "\n"; a last line without one is kept as it is.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t n = text.find('\n');
        const std::size_t nLen = n == std::string_view::npos ? text.size() : n + 1;
        lines.push_back(text.substr(0, nLen));
        text.remove_prefix(nLen);
    }
    return lines;
}

// Every record but the roots sits in a folder record of this catalogue; a record
// of both stores also has a Netscape folder, and no other record has one.
void CheckTree(const CTVLDlgBase& view, const std::set<const CBookmark*>& roots) {
    std::set<const CBookmark*> records;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        records.insert(view.BookmarkAt(i));
    }
    auto isFolder = [&](const CBookmark* p, std::uint32_t nStore) {
        return p != nullptr && records.count(p) != 0 && (p->m_nFlags & BMF_FOLDER) != 0 &&
               (p->m_nFlags & nStore) != 0;
    };
    for (const CBookmark* p : records) {
        if (roots.count(p) != 0) {
            Check(p->m_pFolder == nullptr && p->m_pNSFolder == nullptr);
            continue;
        }
        switch (p->Origin()) {
            case 1:
                Check(isFolder(p->m_pFolder, BMF_MSIE) && p->m_pNSFolder == nullptr);
                break;
            case 2:
                Check(isFolder(p->m_pFolder, BMF_NETSCAPE) && p->m_pNSFolder == nullptr);
                break;
            default:
                Check(p->Origin() == 3 && (p->m_nFlags & BMF_FOLDER) == 0);
                Check(isFolder(p->m_pFolder, BMF_MSIE) && isFolder(p->m_pNSFolder, BMF_NETSCAPE));
                break;
        }
    }
}

// The length of the head: the input up to the end of the first line holding
// an <H1> tag in any case, with or without attributes, or all of it without one.
std::size_t HeadSize(const std::string& strText, bool& bHeading) {
    std::size_t nStart = 0;
    for (std::string_view line : Lines(strText)) {
        for (std::size_t p = line.find('<'); p != std::string_view::npos;
             p = line.find('<', p + 1)) {
            const std::string_view tag = line.substr(p + 1, 3);
            if (tag.size() >= 2 && (tag[0] == 'h' || tag[0] == 'H') && tag[1] == '1' &&
                (tag.size() == 2 || !std::isalnum(static_cast<unsigned char>(tag[2])))) {
                bHeading = true;
                return nStart + line.size();
            }
        }
        nStart += line.size();
    }
    bHeading = false;
    return strText.size();
}

// The reader gives up exactly when the head, or a line without its line end,
// is over its limit.
bool WithinLimits(const std::string& strText) {
    bool bHeading = false;
    if (HeadSize(strText, bHeading) > kMaxNetscapeHead) {
        return false;
    }
    for (std::string_view line : Lines(strText)) {
        if (line.size() - (line.back() == '\n' ? 1 : 0) > kMaxNetscapeLine) {
            return false;
        }
    }
    return true;
}

// The head is kept as it is; when it ends at a heading, its last line ends
// with a line end and an empty line follows.
void CheckHead(const CTVLDlgBase& view, const std::string& strText) {
    bool bHeading = false;
    std::string strHead = strText.substr(0, HeadSize(strText, bHeading));
    if (bHeading) {
        strHead += strHead.back() == '\n' ? "\n" : "\n\n";
    }
    Check(view.m_bNSHeading == bHeading && view.m_strNSHeader == strHead);
}

// Each record below the root with its folders' names and all it carries, sorted:
// the writer orders siblings anew, so only this can stay the same.
std::vector<std::string> Contents(const CTVLDlgBase& view) {
    std::vector<std::string> contents;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        std::string s;
        for (const CBookmark* f = p; f->m_pFolder != nullptr; f = f->m_pFolder) {
            s.insert(0, f->m_strName + '\x01');
        }
        const CNetscapeExtra* pExtra = p->NSExtra();
        s += std::to_string(p->m_nFlags) + '\x01' + p->m_strURL + '\x01' +
             std::to_string(p->m_tAdded) + '/' + std::to_string(p->m_tVisited) + '/' +
             std::to_string(p->m_tModified);
        if (pExtra != nullptr) {
            s += '\x01' + pExtra->strAttributes.str() + '\x01' +
                 std::to_string(pExtra->bDescription) + pExtra->strDescription.str() + '\x01' +
                 std::to_string(pExtra->bNoDate);
        }
        contents.push_back(s);
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

// The file as Save writes it from the view's catalogue.
std::string Written(const CTVLDlgBase& view) {
    std::vector<CBookmark*> records;
    for (int i = 1; i < view.m_bookmarks.GetSize(); ++i) {
        records.push_back(view.BookmarkAt(i));
    }
    CBookmarkArray tree;
    CBookmarkArray exports;
    CTVLDlgBase::OrderTree(view.BookmarkAt(0), records, view.FindKeyCollisions(), tree);
    CStringSink sink;
    CTextFileWriter file(sink);
    view.WriteNetscapeText(tree, exports, file);
    file.Close();
    tree.RemoveAll();
    return sink.m_strBytes;
}

// A new Netscape root, as the file reader makes it.
CBookmark* AddRoot(CTVLDlgBase& view) {
    auto* pRoot = new CBookmark;
    pRoot->m_strURL = view.m_strFavorites + "/" + kNetscapeRootName;
    pRoot->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
    view.m_bookmarks.Add(pRoot);
    return pRoot;
}

// What Save writes reads back to the same records, the same head and the same
// root description, and is written again byte for byte.
void CheckRoundTrip(const CTVLDlgBase& view) {
    const std::string strWritten = Written(view);
    CFuzzView again;
    again.m_strFavorites = view.m_strFavorites;
    CBookmark* pRoot = AddRoot(again);
    CTextFileReader reader;
    reader.AttachMemory(strWritten.data(), strWritten.size());
    Check(again.ReadNetscapeStream(reader, pRoot));
    Check(again.m_strNSHeader == view.m_strNSHeader && Contents(again) == Contents(view));
    Check(Written(again) == strWritten);
}

// Favorites records in front of the Netscape ones, as an import run leaves
// them: a root, one sub-folder, and a copy of every other Netscape bookmark,
// every second copy with a trailing slash that the merge must see through.
void AddFavoritesCopies(CTVLDlgBase& view, CBookmark* pFavRoot) {
    std::vector<CBookmark*> favorites{pFavRoot};
    auto* pSub = new CBookmark;
    pSub->m_strName = "Sub";
    pSub->m_strURL = pFavRoot->m_strURL + "/Sub";
    pSub->m_pFolder = pFavRoot;
    pSub->m_nFlags = BMF_FOLDER | BMF_MSIE;
    favorites.push_back(pSub);

    int nSeen = 0;
    int nCopies = 0;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        if ((p->m_nFlags & BMF_FOLDER) != 0 || nSeen++ % 2 != 0) {
            continue;
        }
        auto* pCopy = new CBookmark;
        pCopy->m_strName = p->m_strName;
        pCopy->m_strURL = p->m_strURL + (nCopies % 2 != 0 ? "/" : "");
        pCopy->m_tAdded = p->m_tVisited;
        pCopy->m_pFolder = nCopies % 3 != 0 ? pFavRoot : pSub;
        pCopy->m_nFlags = BMF_MSIE;
        favorites.push_back(pCopy);
        ++nCopies;
    }
    for (std::size_t i = 0; i < favorites.size(); ++i) {
        view.m_bookmarks.InsertAt(static_cast<int>(i), favorites[i]);
    }
}

// The merge keeps the catalogue sorted by URL and then name, and each join
// removes exactly one record.
void CheckMerged(const CTVLDlgBase& view, int nBefore) {
    int nBoth = 0;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        const CBookmark* p = view.BookmarkAt(i);
        nBoth += p->Origin() == 3 ? 1 : 0;
        if (i > 0) {
            const CBookmark* pPrev = view.BookmarkAt(i - 1);
            const int r = CompareNoCase(pPrev->m_strURL, p->m_strURL);
            Check(r < 0 || (r == 0 && CompareNoCase(pPrev->m_strName, p->m_strName) <= 0));
        }
    }
    Check(view.m_bookmarks.GetSize() + nBoth == nBefore);
}

// Without a filter every row is listed once, in row order; with a piece of a
// row's name as the filter, that row is still listed.
void CheckRows(CTVLDlgBase& view) {
    std::vector<CBookmark*> all;
    view.SetFilter("");
    view.InvalidateRowOrder();
    const int nTotal = view.SortedRows(all);
    Check(nTotal == static_cast<int>(all.size()));
    int nRows = 0;
    for (int i = 0; i < view.m_bookmarks.GetSize(); ++i) {
        nRows += view.BookmarkAt(i)->IsRow() ? 1 : 0;
    }
    Check(nRows == nTotal);
    for (std::size_t i = 0; i < all.size(); ++i) {
        CBookmark* p = all[i];
        Check(p->IsRow());
        Check(i == 0 || CTVLDlgBase::CompareRows(all[i - 1], p, &view) <= 0);
        for (int nCol = 0; nCol < COL_COUNT; ++nCol) {
            CTVLDlgBase::GetColumnText(*p, nCol);
        }
    }

    for (const CBookmark* p : all) {
        if (p->m_strName.empty()) {
            continue;
        }
        view.SetFilter(std::string_view(p->m_strName).substr(p->m_strName.size() / 2));
        std::vector<CBookmark*> rows;
        Check(view.SortedRows(rows) == nTotal);
        bool bFound = false;
        for (const CBookmark* pRow : rows) {
            Check(view.PassesFilter(*pRow));
            bFound = bFound || pRow == p;
        }
        Check(bFound);
        view.SetFilter("");
        break;
    }

    // The initial order and two others, each ascending and descending.
    static constexpr int kKeySets[][4] = {{3, 1, 0, 0}, {5, 2, 1, 4}, {4, 3, 2, 1}};
    const int savedKeys[4] = {g_sortKeys[0], g_sortKeys[1], g_sortKeys[2], g_sortKeys[3]};
    for (const auto& keys : kKeySets) {
        for (int nFlip : {1, -1}) {
            for (int k = 0; k < 4; ++k) {
                g_sortKeys[k] = keys[k];
            }
            for (int nCol = 0; nCol < COL_COUNT; ++nCol) {
                view.m_sortDir[nCol] = g_columns[nCol].nDir * nFlip;
            }
            std::vector<CBookmark*> rows = all;
            view.SortRowPointers(rows);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                Check(CTVLDlgBase::CompareRows(rows[i], rows[i], &view) == 0);
                if (i == 0) {
                    continue;
                }
                const int r = CTVLDlgBase::CompareRows(rows[i - 1], rows[i], &view);
                Check(r <= 0 &&
                      Sign(CTVLDlgBase::CompareRows(rows[i], rows[i - 1], &view)) == -Sign(r));
            }
        }
    }
    for (int k = 0; k < 4; ++k) {
        g_sortKeys[k] = savedKeys[k];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    CFuzzView view;
    view.m_strFavorites = "/fav";

    CBookmark* pRoot = AddRoot(view);

    CTextFileReader reader;
    reader.AttachMemory(input.data(), input.size());
    const bool bRead = view.ReadNetscapeStream(reader, pRoot);
    const std::string strText = TextMode(input);
    Check(bRead == WithinLimits(strText));
    Check(view.BookmarkAt(0) == pRoot);
    if (bRead) {
        CheckHead(view, strText);
        CheckRoundTrip(view);
    }
    CheckTree(view, {pRoot});

    auto* pFavRoot = new CBookmark;
    pFavRoot->m_strURL = view.m_strFavorites;
    pFavRoot->m_nFlags = BMF_FOLDER | BMF_MSIE;
    AddFavoritesCopies(view, pFavRoot);
    CheckTree(view, {pRoot, pFavRoot});

    const int nBefore = view.m_bookmarks.GetSize();
    view.MergeDuplicates();
    CheckMerged(view, nBefore);
    CheckTree(view, {pRoot, pFavRoot});

    CheckRows(view);
    return 0;
}
