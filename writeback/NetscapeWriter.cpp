// The Netscape bookmark file as Save writes it: the order that puts every
// folder directly before its contents, and the tree writer that opens and
// closes the levels.
#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "catalogue/HtmlText.h"
#include "catalogue/TVLDlgBase.h"

namespace {

// Beyond this many levels lines are indented no further, so that a file nested
// deep cannot make the written file many times its own size.
constexpr int kMaxIndentLevel = 32;

// Dates are written as unsigned numbers; a time before 1970 (only the file
// system can give one) is written as 0 rather than as a huge number.
std::string DateText(CTime t) {
    return std::to_string(t < 0 ? 0 : t);
}

std::string Indent(int nLevel) {
    return std::string(static_cast<std::size_t>(4 + 2 * std::min(nLevel, kMaxIndentLevel)), ' ');
}

// The name and URL as the Netscape file holds them: as read while unchanged,
// else the plain text escaped.
std::string HtmlName(const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    return pExtra != nullptr && !pExtra->strHtmlName.empty() ? pExtra->strHtmlName
                                                             : EscapeHtmlName(mark.NSName());
}

std::string HtmlURL(const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    return pExtra != nullptr && !pExtra->strHtmlURL.empty() ? pExtra->strHtmlURL
                                                            : EscapeHtmlURL(mark.NSURL());
}

// The tag's own closing, after the attributes that only the file carries.
std::string CloseTag(const CNetscapeExtra* pExtra) {
    return pExtra != nullptr ? pExtra->strAttributes + ">" : std::string(">");
}

std::string Description(const std::string& strIndent, const CNetscapeExtra* pExtra) {
    return pExtra != nullptr && pExtra->bDescription
               ? strIndent + "<DD>" + pExtra->strDescription + "\n"
               : std::string();
}

void WriteFolderOpening(CTextFileWriter& file, int nLevel, const CBookmark& folder) {
    const CNetscapeExtra* pExtra = folder.NSExtra();
    const std::string strIndent = Indent(nLevel);
    std::string strDate;
    if (pExtra == nullptr || !pExtra->bNoDate) {
        strDate = " ADD_DATE=\"" + DateText(folder.m_tAdded) + "\"";
    }
    file.WriteString(strIndent + "<DT><H3 FOLDED" + strDate + CloseTag(pExtra) + HtmlName(folder) +
                     "</H3>\n" + Description(strIndent, pExtra) + Indent(nLevel + 1) + "<DL><p>\n");
}

void WriteFolderClosing(CTextFileWriter& file, int nLevel) {
    file.WriteString(Indent(nLevel) + "</DL><p>\n");
}

void WriteBookmark(CTextFileWriter& file, int nLevel, const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    const std::string strIndent = Indent(nLevel);
    file.WriteString(strIndent + "<DT><A HREF=\"" + HtmlURL(mark) + "\"  ADD_DATE=\"" +
                     DateText(mark.NSAdded()) + "\" LAST_VISIT=\"" + DateText(mark.NSVisited()) +
                     "\" LAST_MODIFIED=\"" + DateText(mark.NSModified()) + "\"" + CloseTag(pExtra) +
                     HtmlName(mark) + "</A>\n" + Description(strIndent, pExtra));
}

// A record among its siblings: a folder's part is its name and a backslash (or
// its numbered part), a bookmark's the single code 0x7F. Ordered by part, then
// name, URL and dates, without case, siblings come as a sort by the path of
// parts would put them: sub-folders before the bookmarks when their name
// begins below 0x7F, bookmarks by name.
struct CSibling {
    std::string strPart;
    CBookmark* pMark;
};

bool SiblingBefore(const CSibling& a, const CSibling& b) {
    const CBookmark& x = *a.pMark;
    const CBookmark& y = *b.pMark;
    int r = CompareNoCase(a.strPart, b.strPart);
    r = r != 0 ? r : CompareNoCase(x.NSName(), y.NSName());
    r = r != 0 ? r : CompareNoCase(x.NSURL(), y.NSURL());
    if (r != 0) {
        return r < 0;
    }
    return std::make_tuple(x.NSAdded(), x.NSVisited(), x.NSModified()) <
           std::make_tuple(y.NSAdded(), y.NSVisited(), y.NSModified());
}

// Ends a folder name in a numbered part. A name that holds it is numbered
// too, so that no plain part can equal a numbered one.
constexpr char kNumberMark = '\x01';

}  // namespace

void CTVLDlgBase::OrderTree(CBookmark* pStart, const std::vector<CBookmark*>& records,
                            const CKeyParts& parts, CBookmarkArray& list) {
    const std::unordered_set<const CBookmark*> members(records.begin(), records.end());
    std::unordered_map<const CBookmark*, std::vector<CSibling>> children;
    auto partOf = [&parts](const CBookmark* pMark) {
        if ((pMark->m_nFlags & BMF_FOLDER) == 0) {
            return std::string(1, '\x7F');
        }
        const auto it = parts.find(pMark);
        return it != parts.end() ? it->second : pMark->m_strName + '\\';
    };
    for (CBookmark* pMark : records) {
        const CBookmark* pParent = pMark->NSFolder();
        // Records whose folder is not in the list sit directly in the start folder.
        if (pParent == nullptr || members.count(pParent) == 0) {
            pParent = pStart;
        }
        children[pParent].push_back(CSibling{partOf(pMark), pMark});
    }
    for (auto& [pParent, siblings] : children) {
        std::stable_sort(siblings.begin(), siblings.end(), SiblingBefore);
    }
    // Depth first, each folder directly before its contents, without recursion.
    list.Add(pStart);
    std::vector<std::pair<const std::vector<CSibling>*, std::size_t>> stack;
    auto enter = [&](const CBookmark* pFolder) {
        const auto it = children.find(pFolder);
        if (it != children.end()) {
            stack.emplace_back(&it->second, 0);
        }
    };
    enter(pStart);
    while (!stack.empty()) {
        auto& [pSiblings, nNext] = stack.back();
        if (nNext == pSiblings->size()) {
            stack.pop_back();
            continue;
        }
        CBookmark* pMark = (*pSiblings)[nNext++].pMark;
        list.Add(pMark);
        if ((pMark->m_nFlags & BMF_FOLDER) != 0) {
            enter(pMark);
        }
    }
}

CKeyParts CTVLDlgBase::FindKeyCollisions() const {
    // A folder's part is its name and a backslash, so a sibling of the same
    // name in other letter case, or a name holding a backslash, would mix the
    // contents of two folders. Every folder of such a group gets a numbered part
    // that holds no backslash and no other number mark. The numbers follow the exact
    // names and dates, not the catalogue's order, so that saving again keeps the
    // folders' order.
    std::map<std::pair<const CBookmark*, std::string>, std::vector<const CBookmark*>> groups;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        const CBookmark* pFolder = BookmarkAt(i);
        if ((pFolder->m_nFlags & BMF_FOLDER) == 0 || pFolder->m_pFolder == nullptr) {
            continue;
        }
        groups[{pFolder->m_pFolder, FoldedLower(pFolder->m_strName)}].push_back(pFolder);
    }
    CKeyParts parts;
    int nNumber = 0;
    for (auto& [key, group] : groups) {
        if (group.size() < 2 && key.second.find('\\') == std::string::npos &&
            key.second.find(kNumberMark) == std::string::npos) {
            continue;
        }
        std::stable_sort(group.begin(), group.end(), [](const CBookmark* a, const CBookmark* b) {
            return std::tie(a->m_strName, a->m_tAdded) < std::tie(b->m_strName, b->m_tAdded);
        });
        for (const CBookmark* pFolder : group) {
            std::string strPart = pFolder->m_strName;
            std::replace(strPart.begin(), strPart.end(), '\\', '/');
            std::replace(strPart.begin(), strPart.end(), kNumberMark, '?');
            char szNumber[16];
            std::snprintf(szNumber, sizeof szNumber, "%06d", ++nNumber);
            parts[pFolder] = strPart + kNumberMark + szNumber + '\\';
        }
    }
    return parts;
}

void CTVLDlgBase::WriteTree(const CBookmarkArray& list, CTextFileWriter& file, bool bCloseFirst) {
    const int n = list.GetSize();
    if (n < 2) {
        return;
    }
    int nLevel = 0;  // levels opened by this call; level 0 is written with 4 blanks
    const CBookmark* pCur = static_cast<const CBookmark*>(list[0]);
    bool bCloseNow = bCloseFirst;
    for (int i = 1; i < n; ++i) {
        const auto* pElem = static_cast<const CBookmark*>(list[i]);
        const CBookmark* pParent = pElem->NSFolder();
        while (pCur != nullptr && pCur != pParent) {
            // Only levels that this call opened are closed, so the file stays
            // well formed whatever the list holds.
            if (bCloseNow && nLevel > 0) {
                WriteFolderClosing(file, nLevel--);
            }
            bCloseNow = true;
            pCur = pCur->m_pFolder;
        }
        if (pElem->m_nFlags & BMF_FOLDER) {
            WriteFolderOpening(file, nLevel++, *pElem);
            pCur = pElem;
        } else {
            WriteBookmark(file, nLevel, *pElem);
        }
    }
    while (nLevel > 0) {
        WriteFolderClosing(file, nLevel--);
    }
}

void CTVLDlgBase::WriteNetscapeText(const CBookmarkArray& tree, const CBookmarkArray& exports,
                                    CTextFileWriter& file) const {
    const bool bExport = exports.GetSize() > 1;
    file.WriteString(m_strNSHeader);
    // A file without a heading holds no entries and stays as it is, unless
    // bookmarks are exported into it: they need a heading to be read back.
    if (!m_bNSHeading && bExport) {
        if (!m_strNSHeader.empty() && m_strNSHeader.back() != '\n') {
            file.WriteString("\n");
        }
        file.WriteString("<H1>Bookmarks</H1>\n\n");
    }
    if (!m_bNSHeading && !bExport) {
        return;
    }
    const CNetscapeExtra* pRootExtra =
        tree.GetSize() > 0 ? static_cast<const CBookmark*>(tree[0])->NSExtra() : nullptr;
    file.WriteString(Description("", pRootExtra) + "<DL><p>\n");
    WriteTree(tree, file, true);
    if (bExport) {
        const CTime tNow = m_pFileSystem->CurrentTime();
        file.WriteString("  <DT><H3 FOLDED ADD_DATE=\"" + std::to_string(tNow) + "\">IExplorer " +
                         FormatDate(tNow, "%y%m%d %H:%M:%S") + "</H3>\n  <DL><p>\n");
        WriteTree(exports, file, false);
        file.WriteString("  </DL><p>\n");
    }
    file.WriteString("</DL>\n");
}
