// Feeds arbitrary bytes to the Netscape bookmark reader, joins the records with
// Favorites copies of some of them, and lists and sorts the rows, trapping as
// soon as the catalogue loses its shape.
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

// A date is the decimal digits that start at nStart, leading zeros aside, or 0
// when there are none; digits beyond the range of the time type give its
// largest value.
bool IsDateAt(CTime t, std::string_view line, std::size_t nStart) {
    std::string_view digits = nStart < line.size() ? line.substr(nStart) : std::string_view();
    digits = digits.substr(0, digits.find_first_not_of("0123456789"));
    const std::size_t nLead = digits.find_first_not_of('0');
    digits = nLead == std::string_view::npos ? std::string_view() : digits.substr(nLead);
    const std::string strMax = std::to_string(std::numeric_limits<CTime>::max());
    if (digits.size() > strMax.size() || (digits.size() == strMax.size() && digits >= strMax)) {
        return t == std::numeric_limits<CTime>::max();
    }
    return std::to_string(t) == (digits.empty() ? std::string("0") : std::string(digits));
}

// A date attribute is sought anywhere in the line; nSkip leads past the marker
// and the opening quotation mark.
bool IsDateAfter(CTime t, std::string_view line, std::string_view marker, std::size_t nSkip) {
    const std::size_t p = line.find(marker);
    return p == std::string_view::npos ? t == 0 : IsDateAt(t, line, p + nSkip);
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
// "<H1>", or all of it without one.
std::size_t HeadSize(const std::string& strText) {
    const std::size_t nH1 = strText.find("<H1>");
    if (nH1 == std::string::npos) {
        return strText.size();
    }
    const std::size_t nEol = strText.find('\n', nH1);
    return nEol == std::string::npos ? strText.size() : nEol + 1;
}

// The reader gives up exactly when the head, or a line without its line end,
// is over its limit.
bool WithinLimits(const std::string& strText) {
    if (HeadSize(strText) > kMaxNetscapeHead) {
        return false;
    }
    for (std::string_view line : Lines(strText)) {
        if (line.size() - (line.back() == '\n' ? 1 : 0) > kMaxNetscapeLine) {
            return false;
        }
    }
    return true;
}

// The head, plus one "\n", is kept. Each later line with a marker gave one
// record whose texts come from that line.
void CheckRead(const CTVLDlgBase& view, const std::string& strText) {
    const std::size_t nBody = HeadSize(strText);
    Check(view.m_strNSHeader.size() == nBody + 1 && view.m_strNSHeader.back() == '\n' &&
          view.m_strNSHeader.compare(0, nBody, strText, 0, nBody) == 0);

    int i = 1;  // the root comes first
    for (std::string_view line : Lines(std::string_view(strText).substr(nBody))) {
        const bool bMark = line.find(" HREF=") != std::string_view::npos;
        if (!bMark && line.find(" ADD_DATE=") == std::string_view::npos) {
            continue;
        }
        Check(i < view.m_bookmarks.GetSize());
        const CBookmark* p = view.BookmarkAt(i++);
        Check(p->m_nFlags == (bMark ? BMF_NETSCAPE : BMF_FOLDER | BMF_NETSCAPE));
        Check(p->m_strName.find('\n') == std::string::npos &&
              line.find(p->m_strName) != std::string_view::npos);
        Check(p->m_strURL.find('\n') == std::string::npos &&
              line.find(p->m_strURL) != std::string_view::npos);
        if (bMark) {
            Check(IsDateAfter(p->m_tAdded, line, "ADD_DATE=", 10) &&
                  IsDateAfter(p->m_tVisited, line, "LAST_VISIT=", 12) &&
                  IsDateAfter(p->m_tModified, line, "LAST_MODIFIED=", 15));
        } else {
            Check(IsDateAfter(p->m_tAdded, line, " ADD_DATE=", 11));
            Check(p->m_strURL.empty() && p->m_tVisited == 0 && p->m_tModified == 0);
        }
    }
    Check(i == view.m_bookmarks.GetSize());
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

// Without a filter every row is collected in catalogue order; with a piece of a
// row's name as the filter, that row is still collected.
void CheckRows(CTVLDlgBase& view) {
    std::vector<CBookmark*> all;
    view.SetFilter("");
    const int nTotal = view.CollectRows(all);
    Check(nTotal == static_cast<int>(all.size()));
    int nNext = 0;
    for (CBookmark* p : all) {
        Check(p->IsRow());
        const int nAt = view.m_bookmarks.IndexOf(p);
        Check(nAt >= nNext);
        nNext = nAt + 1;
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
        Check(view.CollectRows(rows) == nTotal);
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

    // The Netscape root, made as the file reader makes it.
    auto* pRoot = new CBookmark;
    pRoot->m_strURL = view.m_strFavorites + "/" + kNetscapeRootName;
    pRoot->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
    view.m_bookmarks.Add(pRoot);

    CTextFileReader reader;
    reader.AttachMemory(input.data(), input.size());
    const bool bRead = view.ReadNetscapeStream(reader, pRoot);
    const std::string strText = TextMode(input);
    Check(bRead == WithinLimits(strText));
    Check(view.BookmarkAt(0) == pRoot);
    if (bRead) {
        CheckRead(view, strText);
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
