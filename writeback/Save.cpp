// Save: renames and removals into both stores, the distinct bookmarks into the
// other browser, then a new import so that the list shows what is on disk.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "catalogue/TVLDlgBase.h"
#include "catalogue/TextCase.h"
#include "writeback/Messages.h"

namespace {

// A backup name taken for this many seconds in a row ends the save.
constexpr int kMaxBackupTries = 1000;

// The bookmarks that one store holds, found by what the merge compares, so
// that a distinct bookmark of the other store that the merge would join with
// one of them is not exported: two-way saves then settle, whatever the stores
// hold twice.
class CJoinIndex {
public:
    explicit CJoinIndex(bool bFavorites) : m_bFavorites(bFavorites) {}

    // pMark as this store holds it: a record of both stores by the text of
    // this store's copy.
    void Add(const CBookmark* pMark) {
        const std::string_view strName = m_bFavorites ? pMark->m_strName : pMark->NSName();
        const std::uint64_t nURL = UrlKey(m_bFavorites ? pMark->m_strURL : pMark->NSURL());
        m_marks.emplace(NameKey(nURL, strName), pMark);
        // A shortcut file "Name (2)" joins the Netscape bookmark "Name".
        const std::string_view strBase = CTVLDlgBase::NumberedBase(strName);
        if (m_bFavorites && strBase.size() != strName.size()) {
            m_marks.emplace(NameKey(nURL, strBase), pMark);
        }
    }
    // Whether the store holds a bookmark that the merge would join with this
    // distinct bookmark of the other store.
    bool Holds(const CBookmark& other) const {
        const std::uint64_t nURL = UrlKey(other.m_strURL);
        const std::string_view strBase = CTVLDlgBase::NumberedBase(other.m_strName);
        for (std::string_view strName : {std::string_view(other.m_strName), strBase}) {
            const auto range = m_marks.equal_range(NameKey(nURL, strName));
            for (auto it = range.first; it != range.second; ++it) {
                if (Joins(*it->second, other)) {
                    return true;
                }
            }
            if (m_bFavorites || strBase.size() == other.m_strName.size()) {
                break;
            }
        }
        return false;
    }

private:
    // Bookmarks are found by a hash of the folded URL, a zero byte and the
    // folded name as UTF-8, without the key itself: SameURL and SameName
    // never hold between texts whose folded forms differ, so records that
    // only share the hash are told apart by Joins.
    static std::uint64_t Fold(std::uint64_t nHash, std::string_view str) {
        for (const char c : str) {
            nHash = (nHash ^ static_cast<unsigned char>(FoldLower(c))) * 0x100000001B3ULL;
        }
        return nHash;
    }
    static std::uint64_t UrlKey(std::string_view strURL) {
        if (!strURL.empty() && (strURL.back() == '/' || strURL.back() == '\\')) {
            strURL.remove_suffix(1);
        }
        return Fold(0xCBF29CE484222325ULL, strURL) * 0x100000001B3ULL;
    }
    static std::uint64_t NameKey(std::uint64_t nURL, std::string_view strName) {
        return IsValidUtf8(strName) ? Fold(nURL, strName) : Fold(nURL, TextAsUtf8(strName));
    }
    bool Joins(const CBookmark& held, const CBookmark& other) const {
        const std::string_view strHeldName = m_bFavorites ? held.m_strName : held.NSName();
        const std::string_view strHeldURL = m_bFavorites ? held.m_strURL : held.NSURL();
        return CTVLDlgBase::SameURL(strHeldURL, other.m_strURL) &&
               (m_bFavorites ? CTVLDlgBase::SameName(strHeldName, other.m_strName)
                             : CTVLDlgBase::SameName(other.m_strName, strHeldName));
    }

    bool m_bFavorites;
    std::unordered_multimap<std::uint64_t, const CBookmark*> m_marks;
};

// Each Netscape folder's place in a walk of the folder tree, folders before
// their contents, so that exports visit one directory after another.
std::unordered_map<const CBookmark*, std::size_t> FolderWalkOrder(const CBookmarkArray& catalogue) {
    std::unordered_map<const CBookmark*, std::vector<const CBookmark*>> children;
    std::vector<const CBookmark*> stack;
    for (int i = catalogue.GetSize() - 1; i >= 0; --i) {
        const auto* pMark = static_cast<const CBookmark*>(catalogue[i]);
        if ((pMark->m_nFlags & (BMF_FOLDER | BMF_NETSCAPE)) != (BMF_FOLDER | BMF_NETSCAPE)) {
            continue;
        }
        if (pMark->m_pFolder == nullptr) {
            stack.push_back(pMark);
        } else {
            children[pMark->m_pFolder].push_back(pMark);
        }
    }
    std::unordered_map<const CBookmark*, std::size_t> order;
    while (!stack.empty()) {
        const CBookmark* pFolder = stack.back();
        stack.pop_back();
        order.emplace(pFolder, order.size());
        const auto it = children.find(pFolder);
        if (it != children.end()) {
            stack.insert(stack.end(), it->second.begin(), it->second.end());
        }
    }
    return order;
}

}  // namespace

void CTVLDlgBase::SaveChanges() {
    CSaveReport report;
    m_pSaveReport = &report;
    const bool bImport = WriteChanges();
    m_pSaveReport = nullptr;
    // Discovery may change what the walk reads; without an import its
    // records are of no use.
    if (!bImport) {
        m_pSavedWalk.reset();
    } else if (m_pSavedWalk) {
        m_pSavedWalk->done.wait();
    }
    if (!report.failures.empty()) {
        ShowMessage(FailureList(report.failures), MSG_ERROR);
    }
    if (!report.strBackup.empty()) {
        ShowMessage(report.strBackup, MSG_INFO);
    }
    if (bImport) {
        ImportBookmarks();
    }
}

bool CTVLDlgBase::WriteChanges() {
    const std::vector<CBookmark*> selected = GetSelectedRows();
    // Someone else wrote the Netscape file since it was read: replacing it
    // would lose that, so nothing is saved and the stores are read again.
    const bool bNetscape = (m_nMissing & STORE_NETSCAPE) == 0;
    const ESaveResult check = bNetscape ? CheckNetscapeFile(m_strNSFile) : SAVE_DONE;
    if (check != SAVE_DONE) {
        return check == SAVE_CHANGED;
    }
    if ((m_nMissing & STORE_FAVORITES) == 0) {
        SaveFavorites(selected);
        if (bNetscape) {
            m_pSavedWalk = StartFavoritesWalk();
        }
    }
    return !bNetscape || SaveNetscapeFile(selected) != SAVE_FAILED;
}

void CTVLDlgBase::ReportError(const std::string& strText) {
    if (m_pSaveReport != nullptr) {
        m_pSaveReport->failures.push_back(strText);
    } else {
        ShowMessage(strText, MSG_ERROR);
    }
}

std::string CTVLDlgBase::FailureList(const std::vector<std::string>& failures) {
    std::string strText;
    for (std::size_t i = 0; i < failures.size() && i < kMaxListed; ++i) {
        strText += (i > 0 ? "\n" : "") + failures[i];
    }
    if (failures.size() > kMaxListed) {
        strText += "\n(" + std::to_string(failures.size() - kMaxListed) + " more)";
    }
    return strText;
}

void CTVLDlgBase::RenameBookmark(CBookmark& bookmark, const std::string& strName) {
    if (bookmark.m_strOrigName.empty()) {
        bookmark.m_strOrigName = bookmark.m_strName;
    }
    bookmark.m_strName = strName;
    InvalidateRowOrder();
    if (CNetscapeCopy* pCopy = bookmark.NSCopy()) {
        pCopy->strName = strName;
    }
    // The file's own text stood for the old name only.
    if (CNetscapeExtra* pExtra = bookmark.NSExtra()) {
        pExtra->strHtmlName.clear();
    }
}

CTVLDlgBase::ESaveResult CTVLDlgBase::CheckNetscapeFile(const std::string& strPath) {
    if (!m_stampNSFile) {
        return SAVE_DONE;
    }
    CFileStamp stamp;
    const EFileResult result = m_pFileSystem->StampFile(strPath, stamp);
    // A file that is gone is written anew: nothing of it can be lost. One that
    // cannot be read again may have changed: it is not replaced.
    if (result == FILE_FAILED) {
        ReportError(FormatText(kMsgCannotOpenFile, m_strNSFile));
        return SAVE_FAILED;
    }
    if (result == FILE_OK && stamp != *m_stampNSFile) {
        ReportError(FormatText(kMsgFileChanged, m_strNSFile));
        return SAVE_CHANGED;
    }
    return SAVE_DONE;
}

void CTVLDlgBase::SaveFavorites(const std::vector<CBookmark*>& selected) {
    // Removed shortcut files are deleted and renamed ones renamed, each found
    // by its own directory and file name; failures are dropped. Deleted
    // records close up in place.
    const std::unique_ptr<CDirectoryTree> pTree = m_pFileSystem->OpenTree(m_strFavorites);
    CShortcutPlace place;
    int nKept = 0;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = BookmarkAt(i);
        const bool bFavorites = (pMark->m_nFlags & BMF_MSIE) != 0;
        if (bFavorites && (pMark->m_nFlags & BMF_REMOVED) != 0) {
            if (pTree && FavoritesPlace(*pMark, place)) {
                pTree->RemoveFile(place.dirs, place.strFile);
            }
            delete pMark;
            // The row order must not keep the deleted record, also when the
            // stores are not read again because the Netscape file failed.
            InvalidateRowOrder();
            continue;
        }
        if (bFavorites && !pMark->m_strOrigName.empty()) {
            if (pTree && FavoritesPlace(*pMark, place)) {
                RenameShortcut(*pTree, place, *pMark);
            }
            pMark->m_strOrigName.clear();
        }
        m_bookmarks.SetAt(nKept++, pMark);
    }
    m_bookmarks.SetSize(nKept);

    if (!GetExportChoice().bAddToExplorer) {
        return;
    }
    CJoinIndex held(true);
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        if ((BookmarkAt(i)->m_nFlags & (BMF_MSIE | BMF_FOLDER)) == BMF_MSIE) {
            held.Add(BookmarkAt(i));
        }
    }
    // The selected rows, or with none selected the whole catalogue.
    std::vector<CBookmark*> exports;
    const int nVisited =
        selected.empty() ? m_bookmarks.GetSize() : static_cast<int>(selected.size());
    for (int i = 0; i < nVisited; ++i) {
        CBookmark* pMark = selected.empty() ? BookmarkAt(i) : selected[static_cast<std::size_t>(i)];
        if (pMark->Origin() == 2 && (pMark->m_nFlags & (BMF_FOLDER | BMF_REMOVED)) == 0) {
            exports.push_back(pMark);
        }
    }
    // One directory after another; within one, in the order visited.
    const auto order = FolderWalkOrder(m_bookmarks);
    std::vector<std::pair<std::size_t, CBookmark*>> placed;
    placed.reserve(exports.size());
    for (CBookmark* pMark : exports) {
        const auto it = order.find(pMark->m_pFolder);
        placed.emplace_back(it != order.end() ? it->second : order.size(), pMark);
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < placed.size(); ++i) {
        exports[i] = placed[i].second;
    }
    for (std::size_t i = 0; i < exports.size(); ++i) {
        if (i % 256 == 0) {
            SaveProgress(i, exports.size());
        }
        CBookmark* pMark = exports[i];
        if (!held.Holds(*pMark) && WriteShortcut(pTree.get(), *pMark)) {
            held.Add(pMark);
        }
    }
    SaveProgress(exports.size(), exports.size());
}

CTVLDlgBase::ESaveResult CTVLDlgBase::SaveNetscapeFile(const std::vector<CBookmark*>& selected) {
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

    // The main tree: every record of the Netscape file, below its root.
    CBookmark* pRoot = nullptr;
    std::vector<CBookmark*> records;
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        CBookmark* pMark = BookmarkAt(i);
        if ((pMark->m_nFlags & BMF_NETSCAPE) == 0) {
            continue;
        }
        if (pRoot == nullptr && pMark->m_pFolder == nullptr && (pMark->m_nFlags & BMF_FOLDER)) {
            pRoot = pMark;
        } else {
            records.push_back(pMark);
        }
    }
    CBookmark noRoot;
    const CKeyParts parts = FindKeyCollisions();
    CBookmarkArray list;
    OrderTree(pRoot != nullptr ? pRoot : &noRoot, records, parts, list);

    // The new file is written whole and put on disk beside the old one; the
    // old one keeps its name until then, so nothing is lost whenever this stops.
    const std::unique_ptr<CFileReplacement> pFile = m_pFileSystem->BeginReplace(m_strNSFile);
    if (!pFile) {
        list.RemoveAll();
        ReportError(FormatText(kMsgCannotCreateFile, m_strNSFile));
        return SAVE_FAILED;
    }
    CBookmark exportRoot;
    CBookmarkArray exports;
    if (GetExportChoice().bAddToNetscape) {
        BuildExportList(selected, parts, exportRoot, exports);
    }
    CTextFileWriter file(*pFile);
    WriteNetscapeText(list, exports, file);
    list.RemoveAll();
    exports.RemoveAll();
    if (!file.Close() || !pFile->Flush()) {
        ReportError(FormatText(kMsgCannotWriteFile, m_strNSFile));
        return SAVE_FAILED;
    }
    const ESaveResult check = pFile->Replaces() ? CheckNetscapeFile(pFile->Target()) : SAVE_DONE;
    if (check != SAVE_DONE) {
        return check;
    }
    // The backup is a second name for the old file, made before the new file
    // takes the name; a taken name moves on to the next second.
    std::string strBackup;
    if (pFile->Replaces()) {
        CTime tBackup = m_pFileSystem->CurrentTime();
        EFileResult result = FILE_EXISTS;
        for (int nTry = 0; nTry < kMaxBackupTries && result == FILE_EXISTS; ++nTry) {
            strBackup = pFile->Target() + "." + std::to_string(tBackup++);
            result = m_pFileSystem->KeepCopy(pFile->Target(), strBackup);
        }
        if (result != FILE_OK) {
            ReportError(FormatText(kMsgCannotCreateFile, strBackup));
            return SAVE_FAILED;
        }
    }
    if (!pFile->Install()) {
        if (!strBackup.empty()) {
            m_pFileSystem->RemoveFile(strBackup);
        }
        ReportError(FormatText(kMsgCannotWriteFile, m_strNSFile));
        return SAVE_FAILED;
    }
    // Claimed only now, when the backup stays.
    if (!strBackup.empty()) {
        const std::string strText = FormatText(kMsgBackupCreated, strBackup);
        if (m_pSaveReport != nullptr) {
            m_pSaveReport->strBackup = strText;
        } else {
            ShowMessage(strText, MSG_INFO);
        }
    }
    return SAVE_DONE;
}

void CTVLDlgBase::BuildExportList(const std::vector<CBookmark*>& selected, const CKeyParts& parts,
                                  CBookmark& exportRoot, CBookmarkArray& list) {
    CJoinIndex held(false);
    for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
        if ((BookmarkAt(i)->m_nFlags & (BMF_NETSCAPE | BMF_FOLDER)) == BMF_NETSCAPE) {
            held.Add(BookmarkAt(i));
        }
    }
    // Favorites-only records; a bookmark only when the Netscape file holds
    // none that it would be joined with, counting those exported before it.
    std::vector<CBookmark*> records;
    std::unordered_set<const CBookmark*> listed;
    auto take = [&](CBookmark* pMark) {
        if (pMark->Origin() != 1 || (pMark->m_nFlags & BMF_REMOVED) != 0) {
            return false;
        }
        if ((pMark->m_nFlags & BMF_FOLDER) == 0) {
            if (held.Holds(*pMark)) {
                return false;
            }
            held.Add(pMark);
        }
        records.push_back(pMark);
        listed.insert(pMark);
        return true;
    };
    if (!selected.empty()) {
        for (CBookmark* pMark : selected) {
            if ((pMark->m_nFlags & BMF_FOLDER) != 0 || !take(pMark)) {
                continue;
            }
            for (CBookmark* pFolder = pMark->m_pFolder;
                 pFolder != nullptr && listed.count(pFolder) == 0; pFolder = pFolder->m_pFolder) {
                records.push_back(pFolder);
                listed.insert(pFolder);
            }
        }
    } else {
        for (int i = 0; i < m_bookmarks.GetSize(); ++i) {
            take(BookmarkAt(i));
        }
    }
    // The export list borrows records of the catalogue; its first element is a
    // start folder of its own that is never written.
    exportRoot.m_strURL = m_strFavorites;
    exportRoot.m_nFlags = BMF_MSIE | BMF_FOLDER;
    OrderTree(&exportRoot, records, parts, list);

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
}
