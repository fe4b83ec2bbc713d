// Shortcut files in the Favorites tree: their paths, their directories, their text.
#include "catalogue/TVLDlgBase.h"
#include "platform/Path.h"
#include "writeback/Messages.h"

bool CBookmark::BuildShortcutPath(std::string& strPath, bool bNewName) const {
    if (m_pFolder == nullptr) {
        strPath = m_strURL + kPathSep;
        return true;
    }
    bool bPlain = m_pFolder->BuildShortcutPath(strPath, bNewName);
    if (m_nFlags & BMF_FOLDER) {
        strPath += m_strName;
        strPath += kPathSep;
        return bPlain && IsPlainName(m_strName);
    }
    const std::string& strName = !bNewName && !m_strOrigName.empty() ? m_strOrigName : m_strName;
    strPath += strName;
    strPath += ".url";
    return bPlain && IsPlainName(strName);
}

bool CTVLDlgBase::EnsureDirectories(std::string& strPath) {
    const std::string strFull = strPath;
    // Walk up to the nearest directory that exists, then create the ones below it.
    std::vector<std::size_t> cuts;
    std::size_t nCut = strFull.size();
    for (;;) {
        const std::size_t nSep = nCut == 0 ? std::string::npos : strFull.rfind(kPathSep, nCut - 1);
        if (nSep == std::string::npos) {
            strPath = strFull.substr(0, nCut);
            return false;
        }
        nCut = nSep;
        cuts.push_back(nCut);
        if (m_pFileSystem->Exists(nCut == 0 ? std::string(1, kPathSep) : strFull.substr(0, nCut))) {
            break;
        }
    }
    for (std::size_t i = cuts.size() - 1; i-- > 0;) {
        const std::string strDir = strFull.substr(0, cuts[i]);
        if (!m_pFileSystem->CreateDirectory(strDir)) {
            ShowMessage(FormatText(kMsgCannotCreateDirectory, strDir), MSG_ERROR);
            strPath = strDir;
            return false;
        }
    }
    strPath = strFull;
    return true;
}

void CTVLDlgBase::WriteShortcut(const CBookmark& bookmark) {
    std::string strPath;
    // A name that could lead out of its folder never reaches the file system.
    if (bookmark.BuildShortcutPath(strPath, false) && EnsureDirectories(strPath)) {
        CTextFileWriter file;
        if (file.Open(strPath)) {
            file.WriteString("[InternetShortcut]\n");
            file.WriteString("URL=" + bookmark.m_strURL + "\n");
            if (file.Close()) {
                return;
            }
            // A cut-off shortcut is no shortcut.
            m_pFileSystem->RemoveFile(strPath);
        }
    }
    ShowMessage(FormatText(kMsgCannotCreateFile, strPath), MSG_ERROR);
}
