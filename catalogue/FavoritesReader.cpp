// Walks the Favorites directory tree breadth-first.
#include <deque>
#include <set>

#include "catalogue/TVLDlgBase.h"
#include "platform/Path.h"

bool CTVLDlgBase::ReadShortcut(CTextFileReader& reader, std::string& strURL) {
    static constexpr std::string_view kSection = "[InternetShortcut]";
    std::string_view strLine;
    if (!reader.ReadLine(strLine)) {
        return false;
    }
    for (;;) {
        if (strLine.find(kSection) != std::string_view::npos) {
            if (!reader.ReadLine(strLine)) {
                return false;
            }
            if (strLine.starts_with("URL=")) {
                // A line end of CR CR LF leaves a CR behind; it is not part of the URL.
                std::size_t nEnd = strLine.size();
                while (nEnd > 4 && (strLine[nEnd - 1] == '\n' || strLine[nEnd - 1] == '\r')) {
                    --nEnd;
                }
                strURL.assign(strLine.substr(4, nEnd - 4));
                return true;
            }
        }
        if (!reader.ReadLine(strLine)) {
            return false;
        }
    }
}

void CTVLDlgBase::ReadFavorites() {
    CFavoritesRead read;
    WalkFavorites(read);
    TakeFavorites(read);
}

std::unique_ptr<CTVLDlgBase::CFavoritesWalk> CTVLDlgBase::StartFavoritesWalk() const {
    auto pWalk = std::make_unique<CFavoritesWalk>();
    pWalk->bMSIE = m_bMSIE;
    pWalk->strFavorites = m_strFavorites;
    pWalk->pFileSystem = m_pFileSystem;
    pWalk->done =
        std::async(std::launch::async, [this, pRead = &pWalk->read] { WalkFavorites(*pRead); });
    return pWalk;
}

void CTVLDlgBase::TakeFavorites(CFavoritesRead& read) {
    m_bookmarks.InsertAt(0, &read.records);
    read.records.RemoveAll();
    m_texts.Adopt(std::move(read.texts));
    if (read.bMissing) {
        MarkStoreMissing(STORE_FAVORITES);
    }
}

void CTVLDlgBase::WalkFavorites(CFavoritesRead& read) const {
    if (!m_bMSIE) {
        read.bMissing = true;
        return;
    }
    CBookmarkArray& records = read.records;
    auto* pRoot = new CBookmark;
    pRoot->m_strURL = m_strFavorites;
    pRoot->m_nFlags = BMF_FOLDER | BMF_MSIE;
    records.Add(pRoot);

    // Borrowed pointers with their depth; the catalogue owns the folders.
    std::deque<std::pair<CBookmark*, int>> queue{{pRoot, 0}};
    // Directories already listed: a link loop lists each directory once.
    std::set<CFileId> listed;
    CDirListing listing;
    std::string strURL;
    // One reader for every file, so that its buffer is made once.
    CTextFileReader reader;
    while (!queue.empty()) {
        CBookmark* const pFolder = queue.front().first;
        const int nDepth = queue.front().second;
        queue.pop_front();
        read.nRead.store(static_cast<std::size_t>(records.GetSize()), std::memory_order_relaxed);
        // Only the root's failure makes the store missing; a sub-folder that
        // cannot be listed is passed over and the walk goes on.
        if (!m_pFileSystem->ListDirectory(pFolder->m_strURL.str(), listing)) {
            if (pFolder == pRoot) {
                read.bMissing = true;
                return;
            }
            continue;
        }
        if (!listed.insert(listing.self).second) {
            continue;
        }

        const CTime tNow = m_pFileSystem->CurrentTime();
        // A shortcut's name and URL go into the texts side by side, where the
        // filter reads them.
        for (CDirEntry& entry : listing.entries) {
            auto fill = [&](CBookmark* pMark) {
                pMark->m_strName.Borrow(read.texts, FileTitle(entry.strName));
                pMark->m_tAdded = entry.tCreated.value_or(tNow);
                pMark->m_tVisited = entry.tAccessed.value_or(tNow);
                pMark->m_tModified = entry.tModified.value_or(tNow);
                pMark->m_pFolder = pFolder;
            };
            if (entry.bDirectory) {
                if (nDepth >= kMaxFolderDepth) {
                    continue;
                }
                auto* pSub = new CBookmark;
                fill(pSub);
                pSub->m_strFileName.Borrow(read.texts, entry.strName);
                pSub->m_strURL = std::move(entry.strPath);
                pSub->m_nFlags = BMF_FOLDER | BMF_MSIE;
                records.Add(pSub);
                queue.emplace_back(pSub, nDepth + 1);
                continue;
            }
            const bool bShortcut =
                m_pFileSystem->OpenListedFile(listing, entry, reader, kMaxShortcutSize) &&
                ReadShortcut(reader, strURL);
            reader.Close();
            if (bShortcut) {
                auto* pMark = new CBookmark;
                fill(pMark);
                pMark->m_strURL.Borrow(read.texts, strURL);
                pMark->m_strFileName.Borrow(read.texts, entry.strName);
                pMark->m_nFlags = BMF_MSIE;
                records.Add(pMark);
            }
        }
    }
}
