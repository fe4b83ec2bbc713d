// The Netscape bookmark file as Save writes it: tree keys that order the
// records into folders, and the tree writer that opens and closes the levels.
#include <map>

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
    // contents of two folders. Such folders get a numbered part that holds no
    // backslash and no code 1, which no plain name can begin with.
    CKeyParts parts;
    std::map<std::pair<const CBookmark*, std::string>, bool> siblings;
    int nNumber = 0;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        const CBookmark* pFolder = BookmarkAt(i);
        if ((pFolder->m_nFlags & BMF_FOLDER) == 0 || pFolder->m_pFolder == nullptr) {
            continue;
        }
        std::string strFolded = pFolder->m_strName;
        for (char& c : strFolded) {
            c = FoldLower(c);
        }
        const bool bTaken =
            !siblings.emplace(std::pair(pFolder->m_pFolder, strFolded), true).second;
        if (bTaken || pFolder->m_strName.find_first_of("\\\x01") != std::string::npos) {
            std::string strPart = pFolder->m_strName;
            for (char& c : strPart) {
                c = c == '\\' ? '/' : (c == '\x01' ? '?' : c);
            }
            parts[pFolder] = strPart + '\x01' + std::to_string(++nNumber) + '\\';
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
        if (!pElem->m_strTreeKey.empty() && pElem->m_strTreeKey[0] == '\x01') {
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
