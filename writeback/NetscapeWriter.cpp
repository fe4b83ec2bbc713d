// The Netscape bookmark file as Save writes it: tree keys that order the
// records into folders, and the tree writer that opens and closes the levels.
#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

#include "catalogue/TVLDlgBase.h"

namespace {

// Dates are written as unsigned numbers; a time before 1970 (only the file
// system can give one) is written as 0 rather than as a huge number.
std::string DateText(CTime t) {
    return std::to_string(t < 0 ? 0 : t);
}

void WriteFolderOpening(CTextFileWriter& file, int nIndent, const CBookmark& folder) {
    file.WriteString(std::string(static_cast<std::size_t>(nIndent), ' ') +
                     "<DT><H3 FOLDED ADD_DATE=\"" + DateText(folder.m_tAdded) + "\">" +
                     folder.m_strName + "</H3>\n" +
                     std::string(static_cast<std::size_t>(nIndent + 2), ' ') + "<DL><p>\n");
}

void WriteFolderClosing(CTextFileWriter& file, int nIndent) {
    file.WriteString(std::string(static_cast<std::size_t>(nIndent), ' ') + "</DL><p>\n");
}

void WriteBookmark(CTextFileWriter& file, int nIndent, const CBookmark& mark) {
    file.WriteString(std::string(static_cast<std::size_t>(nIndent), ' ') + "<DT><A HREF=\"" +
                     mark.m_strURL + "\"  ADD_DATE=\"" + DateText(mark.m_tAdded) +
                     "\" LAST_VISIT=\"" + DateText(mark.m_tVisited) + "\" LAST_MODIFIED=\"" +
                     DateText(mark.m_tModified) + "\">" + mark.m_strName + "</A>\n");
}

}  // namespace

void CBookmark::BuildTreeKey(std::string& strKey, const CKeyParts* pParts) const {
    const CBookmark* pFolder = NSFolder();
    if (pFolder == nullptr) {
        return;
    }
    pFolder->BuildTreeKey(strKey, pParts);
    if ((m_nFlags & BMF_FOLDER) == 0) {
        strKey += '\x7F';
        return;
    }
    const auto it = pParts != nullptr ? pParts->find(this) : CKeyParts::const_iterator();
    if (pParts != nullptr && it != pParts->end()) {
        strKey += it->second;
    } else {
        strKey += m_strName;
        strKey += '\\';
    }
}

CKeyParts CTVLDlgBase::FindKeyCollisions() const {
    // A folder's key part is its name and a backslash, so a sibling of the same
    // name in other letter case, or a name holding a backslash, would mix the
    // contents of two folders. Every folder of such a group gets a numbered part
    // that holds no backslash and no other code 1. The numbers follow the exact names and dates,
    // not the catalogue's order, so that saving again keeps the folders' order.
    std::map<std::pair<const CBookmark*, std::string>, std::vector<const CBookmark*>> groups;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        const CBookmark* pFolder = BookmarkAt(i);
        if ((pFolder->m_nFlags & BMF_FOLDER) == 0 || pFolder->m_pFolder == nullptr) {
            continue;
        }
        std::string strFolded = pFolder->m_strName;
        for (char& c : strFolded) {
            c = FoldLower(c);
        }
        groups[{pFolder->m_pFolder, strFolded}].push_back(pFolder);
    }
    CKeyParts parts;
    int nNumber = 0;
    for (auto& [key, group] : groups) {
        // Code 1 marks a numbered part, so a name that holds one is numbered too.
        if (group.size() < 2 && key.second.find_first_of("\\\x01") == std::string::npos) {
            continue;
        }
        std::stable_sort(group.begin(), group.end(), [](const CBookmark* a, const CBookmark* b) {
            return std::tie(a->m_strName, a->m_tAdded) < std::tie(b->m_strName, b->m_tAdded);
        });
        for (const CBookmark* pFolder : group) {
            std::string strPart = pFolder->m_strName;
            std::replace(strPart.begin(), strPart.end(), '\\', '/');
            std::replace(strPart.begin(), strPart.end(), '\x01', '?');
            char szNumber[16];
            std::snprintf(szNumber, sizeof szNumber, "%06d", ++nNumber);
            parts[pFolder] = strPart + '\x01' + szNumber + '\\';
        }
    }
    return parts;
}

void CTVLDlgBase::WriteTree(const CBookmarkArray& list, CTextFileWriter& file, bool bCloseFirst) {
    const int n = list.GetSize();
    if (n < 2) {
        return;
    }
    int nIndent = 4;
    const CBookmark* pCur = static_cast<const CBookmark*>(list[0]);
    bool bCloseNow = bCloseFirst;
    for (int i = 1; i < n; ++i) {
        const auto* pElem = static_cast<const CBookmark*>(list[i]);
        // Records that the file must not get carry the key of code 1 alone;
        // numbered folder parts may also begin with code 1 when the name is empty.
        if (pElem->m_strTreeKey == "\x01") {
            continue;
        }
        const CBookmark* pParent = pElem->NSFolder();
        while (pCur != nullptr && pCur != pParent) {
            // Only levels that this call opened are closed, so the file stays
            // well formed whatever the list holds.
            if (bCloseNow && nIndent > 4) {
                WriteFolderClosing(file, nIndent);
                nIndent -= 2;
            }
            bCloseNow = true;
            pCur = pCur->m_pFolder;
        }
        if (pElem->m_nFlags & BMF_FOLDER) {
            WriteFolderOpening(file, nIndent, *pElem);
            nIndent += 2;
            pCur = pElem;
        } else {
            WriteBookmark(file, nIndent, *pElem);
        }
    }
    while (nIndent > 4) {
        WriteFolderClosing(file, nIndent);
        nIndent -= 2;
    }
}
