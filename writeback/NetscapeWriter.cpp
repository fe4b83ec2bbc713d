// The Netscape bookmark file as Save writes it: the order that puts every
// folder directly before its contents, and the tree writer that opens and
// closes the levels.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <deque>
#include <map>
#include <tuple>
#include <unordered_map>

#include "catalogue/HtmlText.h"
#include "catalogue/TVLDlgBase.h"
#include "platform/Worker.h"

namespace {

// Beyond this many levels lines are indented no further, so that a file nested
// deep cannot make the written file many times its own size.
constexpr int kMaxIndentLevel = 32;

// From this many records on, the tree is ordered on two threads.
constexpr std::size_t kParallelTree = 1 << 16;

// Text for the file is gathered in one buffer and handed to the file in
// pieces of about this size.
constexpr std::size_t kTextPiece = 1 << 16;

// Dates are written as unsigned numbers; a time before 1970 (only the file
// system can give one) is written as 0 rather than as a huge number.
void AppendDate(std::string& strText, CTime t) {
    char szDigits[24];
    const auto result = std::to_chars(szDigits, szDigits + sizeof szDigits, t < 0 ? 0 : t);
    strText.append(szDigits, result.ptr);
}

std::size_t IndentSize(int nLevel) {
    return static_cast<std::size_t>(4 + 2 * std::min(nLevel, kMaxIndentLevel));
}

void AppendIndent(std::string& strText, int nLevel) {
    strText.append(IndentSize(nLevel), ' ');
}

// The name and URL as the Netscape file holds them: as read while unchanged,
// else the plain text escaped.
void AppendName(std::string& strText, const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    if (pExtra != nullptr && !pExtra->strHtmlName.empty()) {
        strText += pExtra->strHtmlName.view();
    } else {
        AppendHtmlName(strText, mark.NSName());
    }
}

void AppendURL(std::string& strText, const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    if (pExtra != nullptr && !pExtra->strHtmlURL.empty()) {
        strText += pExtra->strHtmlURL.view();
    } else {
        AppendHtmlURL(strText, mark.NSURL());
    }
}

// The tag's own closing, after the attributes that only the file carries.
void AppendCloseTag(std::string& strText, const CNetscapeExtra* pExtra) {
    if (pExtra != nullptr) {
        strText += pExtra->strAttributes.view();
    }
    strText += '>';
}

// The <DD> line, after nIndent blanks.
void AppendDescription(std::string& strText, std::size_t nIndent, const CNetscapeExtra* pExtra) {
    if (pExtra != nullptr && pExtra->bDescription) {
        strText.append(nIndent, ' ');
        strText += "<DD>";
        strText += pExtra->strDescription.view();
        strText += '\n';
    }
}

void AppendFolderOpening(std::string& strText, int nLevel, const CBookmark& folder) {
    const CNetscapeExtra* pExtra = folder.NSExtra();
    AppendIndent(strText, nLevel);
    strText += "<DT><H3 FOLDED";
    if (pExtra == nullptr || !pExtra->bNoDate) {
        strText += " ADD_DATE=\"";
        AppendDate(strText, folder.m_tAdded);
        strText += '"';
    }
    AppendCloseTag(strText, pExtra);
    AppendName(strText, folder);
    strText += "</H3>\n";
    AppendDescription(strText, IndentSize(nLevel), pExtra);
    AppendIndent(strText, nLevel + 1);
    strText += "<DL><p>\n";
}

void AppendFolderClosing(std::string& strText, int nLevel) {
    AppendIndent(strText, nLevel);
    strText += "</DL><p>\n";
}

void AppendBookmark(std::string& strText, int nLevel, const CBookmark& mark) {
    const CNetscapeExtra* pExtra = mark.NSExtra();
    AppendIndent(strText, nLevel);
    strText += "<DT><A HREF=\"";
    AppendURL(strText, mark);
    strText += "\"  ADD_DATE=\"";
    AppendDate(strText, mark.NSAdded());
    strText += "\" LAST_VISIT=\"";
    AppendDate(strText, mark.NSVisited());
    strText += "\" LAST_MODIFIED=\"";
    AppendDate(strText, mark.NSModified());
    strText += '"';
    AppendCloseTag(strText, pExtra);
    AppendName(strText, mark);
    strText += "</A>\n";
    AppendDescription(strText, IndentSize(nLevel), pExtra);
}

// A record among its siblings: a folder's part is its name and a backslash (or
// its numbered part), a bookmark's the single code 0x7F. Ordered by part, then
// name, URL and dates, without case, siblings come as a sort by the path of
// parts would put them: sub-folders before the bookmarks when their name
// begins below 0x7F, bookmarks by name.
struct CSibling {
    // The first four bytes of the part and the first sixteen of the name,
    // folded as CompareNoCase folds them, in an order that compares as they
    // do; equal keys leave the order to the whole texts. Many names of one
    // folder begin with the same word. Thirty-two bytes in all: a million of
    // them are held at Save's peak of memory.
    std::uint32_t nPartKey;
    // 0 for a bookmark; else which folder part, as CSiblingParts tells.
    std::uint32_t nPart;
    std::uint64_t nNameKeys[2];
    CBookmark* pMark;
};

// The parts of the folders among the siblings, in two lists so that two
// threads can add to them.
class CSiblingParts {
public:
    static const std::string& BookmarkPart() {
        static const std::string s_strPart(1, '\x7F');
        return s_strPart;
    }
    // Adds a part held elsewhere, or makes one, for the siblings of list
    // nList; returns its number.
    std::uint32_t Add(int nList, const std::string* pPart) {
        m_parts[nList].push_back(pPart);
        return static_cast<std::uint32_t>(m_parts[nList].size() << 1) |
               static_cast<std::uint32_t>(nList);
    }
    std::uint32_t Make(int nList, std::string strPart) {
        return Add(nList, &m_made[nList].emplace_back(std::move(strPart)));
    }
    const std::string& Part(std::uint32_t nPart) const {
        return nPart == 0 ? BookmarkPart() : *m_parts[nPart & 1][(nPart >> 1) - 1];
    }

    bool operator()(const CSibling& a, const CSibling& b) const {
        if (a.nPartKey != b.nPartKey) {
            return a.nPartKey < b.nPartKey;
        }
        int r = a.nPart == b.nPart ? 0 : CompareNoCase(Part(a.nPart), Part(b.nPart));
        if (r == 0) {
            for (std::size_t k = 0; k < 2; ++k) {
                if (a.nNameKeys[k] != b.nNameKeys[k]) {
                    return a.nNameKeys[k] < b.nNameKeys[k];
                }
            }
        }
        const CBookmark& x = *a.pMark;
        const CBookmark& y = *b.pMark;
        r = r != 0 ? r : CompareNoCase(x.NSName(), y.NSName());
        r = r != 0 ? r : CompareNoCase(x.NSURL(), y.NSURL());
        if (r != 0) {
            return r < 0;
        }
        return std::make_tuple(x.NSAdded(), x.NSVisited(), x.NSModified()) <
               std::make_tuple(y.NSAdded(), y.NSVisited(), y.NSModified());
    }

private:
    std::vector<const std::string*> m_parts[2];
    std::deque<std::string> m_made[2];
};

// Ends a folder name in a numbered part. A name that holds it is numbered
// too, so that no plain part can equal a numbered one.
constexpr char kNumberMark = '\x01';

}  // namespace

void CTVLDlgBase::OrderTree(CBookmark* pStart, const std::vector<CBookmark*>& records,
                            const CKeyParts& parts, CBookmarkArray& list) {
    // The folders that records sit in, each once. Consecutive records mostly
    // share their folder.
    std::unordered_map<const CBookmark*, std::uint32_t> slotOf;
    std::vector<const CBookmark*> slotFolders;
    std::vector<std::uint32_t> recordSlots(records.size());
    const CBookmark* pLastParent = nullptr;
    std::uint32_t nLastSlot = 0;
    // The records come in the catalogue's order, not that of their
    // addresses: each is asked for ahead of its use.
    const auto prefetch = [&records](std::size_t i) {
        if (i + 16 < records.size()) {
            PrefetchRecord(records[i + 16]);
        }
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        prefetch(i);
        const CBookmark* pParent = records[i]->NSFolder();
        if (i == 0 || pParent != pLastParent) {
            const auto [it, bNew] =
                slotOf.try_emplace(pParent, static_cast<std::uint32_t>(slotFolders.size()));
            if (bNew) {
                slotFolders.push_back(pParent);
            }
            pLastParent = pParent;
            nLastSlot = it->second;
        }
        recordSlots[i] = nLastSlot;
    }
    // Records whose folder is not in the list sit directly in the start folder.
    std::vector<char> inList(slotFolders.size(), 0);
    for (const CBookmark* pMark : records) {
        const auto it = slotOf.find(pMark);
        if (it != slotOf.end()) {
            inList[it->second] = 1;
        }
    }
    // Each folder that holds records gets a group of siblings, in the order
    // of the records; the groups lie one after another in one array.
    std::unordered_map<const CBookmark*, std::uint32_t> groupOf;
    std::vector<std::uint32_t> slotGroups(slotFolders.size());
    for (std::size_t nSlot = 0; nSlot < slotFolders.size(); ++nSlot) {
        const CBookmark* pParent = slotFolders[nSlot];
        if (pParent == nullptr || inList[nSlot] == 0) {
            pParent = pStart;
        }
        slotGroups[nSlot] =
            groupOf.try_emplace(pParent, static_cast<std::uint32_t>(groupOf.size())).first->second;
    }
    std::vector<std::size_t> groupStarts(groupOf.size() + 1, 0);
    for (const std::uint32_t nSlot : recordSlots) {
        ++groupStarts[slotGroups[nSlot] + 1];
    }
    for (std::size_t g = 1; g < groupStarts.size(); ++g) {
        groupStarts[g] += groupStarts[g - 1];
    }
    CSiblingParts folderParts;
    std::vector<CSibling> siblings(records.size());
    // Records [nFrom, nTo) go to their groups' places from fill on.
    const auto placeSiblings = [&](std::size_t nFrom, std::size_t nTo,
                                   std::vector<std::size_t>& fill, int nList) {
        for (std::size_t i = nFrom; i < nTo; ++i) {
            if (i + 16 < nTo) {
                PrefetchRecord(records[i + 16]);
            }
            if (i + 8 < nTo) {
                PrefetchRecord(records[i + 8]->NSName().data());
            }
            CBookmark* pMark = records[i];
            std::uint32_t nPart = 0;
            if ((pMark->m_nFlags & BMF_FOLDER) != 0) {
                const auto it = parts.find(pMark);
                nPart = it != parts.end() ? folderParts.Add(nList, &it->second)
                                          : folderParts.Make(nList, pMark->m_strName + "\\");
            }
            const std::string_view strName = pMark->NSName();
            siblings[fill[slotGroups[recordSlots[i]]]++] =
                CSibling{static_cast<std::uint32_t>(FoldedWord(folderParts.Part(nPart), 0) >> 32),
                         nPart,
                         {FoldedWord(strName, 0), FoldedWord(strName, 8)},
                         pMark};
        }
    };
    const auto sortGroups = [&](std::size_t gFrom, std::size_t gTo) {
        for (std::size_t g = gFrom; g < gTo; ++g) {
            std::stable_sort(siblings.begin() + static_cast<std::ptrdiff_t>(groupStarts[g]),
                             siblings.begin() + static_cast<std::ptrdiff_t>(groupStarts[g + 1]),
                             std::cref(folderParts));
        }
    };
    std::vector<std::size_t> groupFill(groupStarts.begin(), groupStarts.end() - 1);
    const std::size_t nGroups = groupStarts.size() - 1;
    if (records.size() >= kParallelTree) {
        // The worker places the second half of the records, after the places
        // that the first half takes in each group, and sorts the groups that
        // begin in the second half of the list.
        const std::size_t nHalf = records.size() / 2;
        std::vector<std::size_t> upperFill = groupFill;
        for (std::size_t i = 0; i < nHalf; ++i) {
            ++upperFill[slotGroups[recordSlots[i]]];
        }
        CWorker::RunBeside([&] { placeSiblings(nHalf, records.size(), upperFill, 1); },
                           [&] { placeSiblings(0, nHalf, groupFill, 0); });
        const std::size_t nSplit = static_cast<std::size_t>(
            std::lower_bound(groupStarts.begin(), groupStarts.end() - 1, nHalf) -
            groupStarts.begin());
        CWorker::RunBeside([&] { sortGroups(nSplit, nGroups); }, [&] { sortGroups(0, nSplit); });
    } else {
        placeSiblings(0, records.size(), groupFill, 0);
        sortGroups(0, nGroups);
    }
    // The slots are done with; their memory goes before the list grows.
    std::vector<std::uint32_t>().swap(recordSlots);
    // Depth first, each folder directly before its contents, without recursion.
    // The list takes its whole size at once: growing it step by step would
    // hold the old and the new array at Save's peak of memory.
    int nListed = list.GetSize();
    list.SetSize(nListed + 1 + static_cast<int>(records.size()));
    list.SetAt(nListed++, pStart);
    std::vector<std::pair<std::size_t, std::size_t>> stack;  // next sibling, end of its group
    auto enter = [&](const CBookmark* pFolder) {
        const auto it = groupOf.find(pFolder);
        if (it != groupOf.end()) {
            stack.emplace_back(groupStarts[it->second], groupStarts[it->second + 1]);
        }
    };
    enter(pStart);
    while (!stack.empty()) {
        auto& [nNext, nEnd] = stack.back();
        if (nNext == nEnd) {
            stack.pop_back();
            continue;
        }
        // A sibling's part tells a folder without a visit to its record.
        const CSibling& sibling = siblings[nNext++];
        list.SetAt(nListed++, sibling.pMark);
        if (sibling.nPart != 0) {
            enter(sibling.pMark);
        }
    }
    // Folders that do not lead up to the start folder leave their records out.
    list.SetSize(nListed);
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
            std::string strPart = pFolder->m_strName.str();
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
    std::string strText;
    strText.reserve(2 * kTextPiece);
    int nLevel = 0;  // levels opened by this call; level 0 is written with 4 blanks
    const CBookmark* pCur = static_cast<const CBookmark*>(list[0]);
    bool bCloseNow = bCloseFirst;
    for (int i = 1; i < n; ++i) {
        // The list is in the file's order, not that of the records' addresses.
        if (i + 16 < n) {
            PrefetchRecord(list[i + 16]);
        }
        if (i + 8 < n) {
            static_cast<const CBookmark*>(list[i + 8])->PrefetchTexts();
        }
        const auto* pElem = static_cast<const CBookmark*>(list[i]);
        const CBookmark* pParent = pElem->NSFolder();
        while (pCur != nullptr && pCur != pParent) {
            // Only levels that this call opened are closed, so the file stays
            // well formed whatever the list holds.
            if (bCloseNow && nLevel > 0) {
                AppendFolderClosing(strText, nLevel--);
            }
            bCloseNow = true;
            pCur = pCur->m_pFolder;
        }
        if (pElem->m_nFlags & BMF_FOLDER) {
            AppendFolderOpening(strText, nLevel++, *pElem);
            pCur = pElem;
        } else {
            AppendBookmark(strText, nLevel, *pElem);
        }
        if (strText.size() >= kTextPiece) {
            file.WriteString(strText);
            strText.clear();
        }
    }
    while (nLevel > 0) {
        AppendFolderClosing(strText, nLevel--);
    }
    file.WriteString(strText);
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
    std::string strText;
    AppendDescription(strText, 0, pRootExtra);
    strText += "<DL><p>\n";
    file.WriteString(strText);
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
