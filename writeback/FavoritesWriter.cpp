// Shortcut files in the Favorites tree: where a record's file is, the
// directories it needs, its text, and the free name it gets.
#include <algorithm>

#include "catalogue/TVLDlgBase.h"
#include "catalogue/TextCase.h"
#include "platform/Path.h"
#include "writeback/Messages.h"

namespace {

// Tries for a free name: "Name.url", "Name (2).url", ... up to this number.
constexpr int kMaxNumberedName = 10000;

std::string Numbered(std::string_view strTitle, int n, const std::string& strExtension) {
    return n < 2 ? std::string(strTitle) + strExtension
                 : std::string(strTitle) + " (" + std::to_string(n) + ")" + strExtension;
}

// The file's extension with its dot, as the title of a file leaves it out.
std::string Extension(std::string_view strFileName) {
    const std::size_t nDot = strFileName.rfind('.');
    return nDot == std::string_view::npos ? std::string() : std::string(strFileName.substr(nDot));
}

}  // namespace

bool CTVLDlgBase::FavoritesPlace(const CBookmark& bookmark, CShortcutPlace& place) {
    place.dirs.clear();
    place.strFile = bookmark.m_strFileName;
    bool bPlain = IsPlainName(place.strFile) && !place.strFile.empty();
    for (const CBookmark* pFolder = bookmark.m_pFolder;
         pFolder != nullptr && pFolder->m_pFolder != nullptr; pFolder = pFolder->m_pFolder) {
        place.dirs.push_back(pFolder->m_strFileName.str());
        bPlain = bPlain && IsPlainName(place.dirs.back()) && !place.dirs.back().empty();
    }
    std::reverse(place.dirs.begin(), place.dirs.end());
    return bPlain;
}

bool CTVLDlgBase::ExportPlace(const CBookmark& bookmark, CShortcutPlace& place) {
    // Names of an old bookmark file in Windows-1252 become file names in
    // UTF-8, the encoding of file names everywhere Tavrel runs.
    place.dirs.clear();
    place.strFile = TextAsUtf8(bookmark.m_strName) + ".url";
    bool bPlain = IsPlainName(place.strFile);
    for (const CBookmark* pFolder = bookmark.m_pFolder;
         pFolder != nullptr && pFolder->m_pFolder != nullptr; pFolder = pFolder->m_pFolder) {
        // A folder without a name adds no level: no directory can be named so.
        if (!pFolder->m_strName.empty()) {
            place.dirs.push_back(TextAsUtf8(pFolder->m_strName));
            bPlain = bPlain && IsPlainName(pFolder->m_strName);
        }
    }
    place.dirs.push_back(kNetscapeRootName);
    std::reverse(place.dirs.begin(), place.dirs.end());
    return bPlain;
}

std::string CTVLDlgBase::PlacePath(const CShortcutPlace& place, std::size_t nDirs,
                                   bool bWithFile) const {
    std::string strPath = m_strFavorites;
    for (std::size_t i = 0; i < nDirs && i < place.dirs.size(); ++i) {
        strPath += kPathSep + place.dirs[i];
    }
    return bWithFile ? strPath + kPathSep + place.strFile : strPath;
}

bool CTVLDlgBase::EnsureDirectories(CDirectoryTree& tree, const CShortcutPlace& place,
                                    std::string& strPath) {
    bool bCreateFailed = false;
    const std::size_t nReached = tree.MakeDirectories(place.dirs, bCreateFailed);
    if (nReached == place.dirs.size()) {
        return true;
    }
    // The path up to the directory where the walk stopped.
    strPath = PlacePath(place, nReached + 1, false);
    if (bCreateFailed) {
        ReportError(FormatText(kMsgCannotCreateDirectory, strPath));
    }
    return false;
}

std::string CTVLDlgBase::FavoritesPathAsFarAsThere() const {
    // Up from the Favorites folder, until a folder that is there or the drive.
    std::string strPath = m_strFavorites;
    for (;;) {
        const std::size_t nSep = strPath.rfind(kPathSep);
        const std::size_t nColon = strPath.rfind(':');
        if (nColon != std::string::npos && (nSep == std::string::npos || nColon > nSep)) {
            return strPath;  // not even the drive is there
        }
        if (nSep == std::string::npos || nSep == 0) {
            return m_strFavorites;
        }
        strPath.resize(nSep);
        if (m_pFileSystem->IsDirectory(strPath)) {
            return m_strFavorites;
        }
    }
}

std::string CTVLDlgBase::ShortcutText(std::string_view strURL) {
    CStringSink sink;
    CTextFileWriter file(sink);
    file.WriteString(std::string("[InternetShortcut]\nURL=").append(strURL) + "\n");
    file.Close();
    return sink.m_strBytes;
}

bool CTVLDlgBase::WriteShortcut(CDirectoryTree* pTree, const CBookmark& bookmark) {
    CShortcutPlace place;
    // A name that could lead out of its folder never reaches the file system.
    const bool bPlain = ExportPlace(bookmark, place);
    // The path that a failure names is made only for the message.
    std::string strPath;
    if (!bPlain) {
        strPath = PlacePath(place, place.dirs.size(), true);
    } else if (pTree == nullptr) {
        strPath = FavoritesPathAsFarAsThere();
    } else if (EnsureDirectories(*pTree, place, strPath)) {
        // A name that is taken by a file, a link or a directory is never
        // written over: the bookmark takes the next free numbered name.
        const std::string strText = ShortcutText(bookmark.m_strURL);
        const std::string strName = TextAsUtf8(bookmark.m_strName);
        EFileResult result = FILE_EXISTS;
        for (int n = 1; n <= kMaxNumberedName && result == FILE_EXISTS; ++n) {
            result = pTree->CreateFile(place.dirs, Numbered(strName, n, ".url"), strText);
        }
        if (result == FILE_OK) {
            return true;
        }
        strPath = PlacePath(place, place.dirs.size(), true);
    }
    ReportError(FormatText(kMsgCannotCreateFile, strPath));
    return false;
}

void CTVLDlgBase::RenameShortcut(CDirectoryTree& tree, const CShortcutPlace& place,
                                 const CBookmark& bookmark) {
    // The file keeps its extension, so that its title reads back as the new
    // name; without one, a name holding a dot would lose its end.
    std::string strExtension = Extension(bookmark.m_strFileName);
    if (strExtension.empty() && bookmark.m_strName.find('.') != std::string::npos) {
        strExtension = ".url";
    }
    if (!IsPlainName(bookmark.m_strName + strExtension) ||
        bookmark.m_strName + strExtension == place.strFile) {
        return;
    }
    EFileResult result = FILE_EXISTS;
    for (int n = 1; n <= kMaxNumberedName && result == FILE_EXISTS; ++n) {
        result = tree.RenameFile(place.dirs, place.strFile,
                                 Numbered(bookmark.m_strName, n, strExtension));
    }
}
