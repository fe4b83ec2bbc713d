// Save: renames and removals into both stores, the distinct bookmarks into the
// other browser, then a new import so that the list shows what is on disk.
#include <iterator>
#include <unordered_set>

#include "catalogue/TVLDlgBase.h"
#include "writeback/Messages.h"

namespace {

// Tree key and name order the file; the rest only settles ties, so that an
// unchanged save writes the same file again.
constexpr SortKey kTreeOrder[] = {
    KeyOf<&CBookmark::m_strTreeKey>(KEY_STRING), KeyOf<&CBookmark::m_strName>(KEY_STRING),
    KeyOf<&CBookmark::m_strURL>(KEY_STRING),     KeyOf<&CBookmark::m_tAdded>(KEY_TIME),
    KeyOf<&CBookmark::m_tVisited>(KEY_TIME),     KeyOf<&CBookmark::m_tModified>(KEY_TIME)};
constexpr int kTreeKeys = static_cast<int>(std::size(kTreeOrder));

// Key of the records that the Netscape file must not get.
const std::string kSkipKey(1, '\x01');

}  // namespace

void CTVLDlgBase::SaveChanges() {
    const std::vector<CBookmark*> selected = GetSelectedRows();
    if ((m_nMissing & STORE_FAVORITES) == 0) {
        SaveFavorites(selected);
    }
    if ((m_nMissing & STORE_NETSCAPE) == 0 && !SaveNetscapeFile(selected)) {
        return;
    }
    ImportBookmarks();
}

void CTVLDlgBase::SaveFavorites(const std::vector<CBookmark*>& selected) {
    // Removed shortcut files are deleted and renamed ones renamed; failures are
    // dropped. Deleted records close up in place.
    int nKept = 0;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = BookmarkAt(i);
        if ((pMark->m_nFlags & BMF_MSIE) != 0 && (pMark->m_nFlags & BMF_REMOVED) != 0) {
            std::string strPath;
            if (pMark->BuildShortcutPath(strPath, false)) {
                m_pFileSystem->RemoveFile(strPath);
            }
            delete pMark;
            continue;
        }
        if ((pMark->m_nFlags & BMF_MSIE) != 0 && !pMark->m_strOrigName.empty()) {
            std::string strOld;
            std::string strNew;
            if (pMark->BuildShortcutPath(strOld, false) && pMark->BuildShortcutPath(strNew, true)) {
                m_pFileSystem->RenameFile(strOld, strNew);
            }
            pMark->m_strOrigName.clear();
        }
        m_bookmarks.SetAt(nKept++, pMark);
    }
    m_bookmarks.SetSize(nKept);

    if (!IsChecked(IDC_ADD_EXPLORER)) {
        return;
    }
    std::vector<CBookmark*> candidates = selected;
    if (candidates.empty()) {
        for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
            candidates.push_back(BookmarkAt(i));
        }
    }
    for (const CBookmark* pMark : candidates) {
        if (pMark->Origin() == 2 && (pMark->m_nFlags & (BMF_FOLDER | BMF_REMOVED)) == 0) {
            WriteShortcut(*pMark);
        }
    }
}

bool CTVLDlgBase::SaveNetscapeFile(const std::vector<CBookmark*>& selected) {
    int nKept = 0;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = BookmarkAt(i);
        if (pMark->m_nFlags & BMF_REMOVED) {
            delete pMark;
            continue;
        }
        m_bookmarks.SetAt(nKept++, pMark);
    }
    m_bookmarks.SetSize(nKept);
    const CKeyParts parts = FindKeyCollisions();
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = BookmarkAt(i);
        pMark->m_strTreeKey.clear();
        if (pMark->m_nFlags & BMF_NETSCAPE) {
            pMark->BuildTreeKey(pMark->m_strTreeKey, &parts);
        } else {
            pMark->m_strTreeKey = kSkipKey;
        }
    }
    // The Netscape root has the empty key and comes first, as WriteTree needs.
    m_bookmarks.Sort(kTreeOrder, kTreeKeys, 1);

    // Every save keeps what it replaces: a taken name moves on to the next second.
    CTime tBackup = m_pFileSystem->CurrentTime();
    std::string strBackup;
    do {
        strBackup = m_strNSFile + "." + std::to_string(tBackup++);
    } while (m_pFileSystem->Exists(strBackup));
    const bool bBackup = m_pFileSystem->RenameFile(m_strNSFile, strBackup);
    // Without a backup an existing file is never written over: a failed write
    // would leave nothing of it.
    if (!bBackup && m_pFileSystem->Exists(m_strNSFile)) {
        ShowMessage(FormatText(kMsgCannotCreateFile, strBackup), MSG_ERROR);
        return false;
    }
    // On failure the old file goes back in place, so nothing lives only in the
    // backup; a new file that replaced none is taken away again.
    auto restore = [&] {
        m_pFileSystem->RemoveFile(m_strNSFile);
        if (bBackup) {
            m_pFileSystem->RenameFile(strBackup, m_strNSFile);
        }
    };

    CTextFileWriter file;
    if (!file.Open(m_strNSFile)) {
        ShowMessage(FormatText(kMsgCannotCreateFile, m_strNSFile), MSG_ERROR);
        restore();
        return false;
    }
    file.WriteString(m_strNSHeader);
    file.WriteString("<DL><p>\n");
    WriteTree(m_bookmarks, file, true);
    if (IsChecked(IDC_ADD_NETSCAPE)) {
        WriteExportFolder(selected, parts, file);
    }
    file.WriteString("</DL>\n");
    if (!file.Close()) {
        ShowMessage(FormatText(kMsgCannotWriteFile, m_strNSFile), MSG_ERROR);
        restore();
        return false;
    }
    // Claimed only now, when the backup stays.
    if (bBackup) {
        ShowMessage(FormatText(kMsgBackupCreated, strBackup), MSG_INFO);
    }
    return true;
}

void CTVLDlgBase::WriteExportFolder(const std::vector<CBookmark*>& selected, const CKeyParts& parts,
                                    CTextFileWriter& file) {
    // The export list borrows records of the catalogue; its first element is a
    // start folder of its own that is never written.
    CBookmark exportRoot;
    exportRoot.m_strURL = m_strFavorites;
    exportRoot.m_nFlags = BMF_MSIE | BMF_FOLDER;
    CBookmarkArray list;
    list.Add(&exportRoot);
    std::unordered_set<const CBookmark*> listed;
    auto add = [&](CBookmark* pMark) {
        pMark->m_strTreeKey.clear();
        pMark->BuildTreeKey(pMark->m_strTreeKey, &parts);
        list.Add(pMark);
        listed.insert(pMark);
    };
    auto isExported = [](const CBookmark* pMark) {
        return pMark->Origin() == 1 && (pMark->m_nFlags & BMF_REMOVED) == 0;
    };
    if (!selected.empty()) {
        for (CBookmark* pMark : selected) {
            if (!isExported(pMark)) {
                continue;
            }
            add(pMark);
            for (CBookmark* pFolder = pMark->m_pFolder;
                 pFolder != nullptr && listed.count(pFolder) == 0; pFolder = pFolder->m_pFolder) {
                add(pFolder);
            }
        }
    } else {
        for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
            if (isExported(BookmarkAt(i))) {
                add(BookmarkAt(i));
            }
        }
    }
    list.Sort(kTreeOrder, kTreeKeys, 1);

    // Folders that lead to no exported bookmark are dropped: walking backwards, a
    // folder stays exactly when the nearest kept element after it lies in it.
    std::vector<CObject*> kept;
    const CBookmark* pLast = nullptr;
    for (int k = list.GetSize() - 1; k >= 1; --k) {
        const auto* pElem = static_cast<const CBookmark*>(list[k]);
        if ((pElem->m_nFlags & BMF_FOLDER) != 0 && pLast != pElem) {
            continue;
        }
        pLast = pElem->m_pFolder;
        kept.push_back(list[k]);
    }
    list.SetSize(1);
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        list.Add(*it);
    }

    const CTime tNow = m_pFileSystem->CurrentTime();
    if (list.GetSize() > 1) {
        file.WriteString("  <DT><H3 FOLDED ADD_DATE=\"" + std::to_string(tNow) + "\">IExplorer " +
                         FormatDate(tNow, "%y%m%d %H:%M:%S") + "</H3>\n  <DL><p>\n");
        WriteTree(list, file, false);
        file.WriteString("  </DL><p>\n");
    }
    list.RemoveAll();
}
