// What leaves the program besides the two stores: a bookmark file of the
// selected rows and the clipboard text.
#include <cstring>
#include <optional>

#include "catalogue/HtmlText.h"
#include "catalogue/TVLDlgBase.h"
#include "writeback/Messages.h"

void CTVLDlgBase::CreateHtmlFile(const std::string& strPath) {
    // The chosen file is replaced only by a whole new one, keeping its mode.
    const std::unique_ptr<CFileReplacement> pFile = m_pFileSystem->BeginReplace(strPath);
    if (!pFile) {
        ShowMessage(FormatText(kMsgCannotOpenFile, strPath), MSG_ERROR);
        return;
    }
    CTextFileWriter file(*pFile);
    WriteHtmlExport(GetSelectedRows(), file);
    if (!file.Close() || !pFile->Flush() || !pFile->Install()) {
        ShowMessage(FormatText(kMsgCannotWriteFile, strPath), MSG_ERROR);
    }
}

void CTVLDlgBase::WriteHtmlExport(const std::vector<CBookmark*>& rows, CTextFileWriter& file) {
    file.WriteString(
        "<!DOCTYPE Bookmark-file>\n<HTML>\n<BODY>\n<TITLE>Bookmarks</TITLE>\n"
        "<H1>Bookmarks</H1>\n<DL><p>\n");
    // Sorted by folder, the rows are grouped under the name of the folder
    // directly above each one.
    const bool bGroups = g_sortKeys[0] == COL_FOLDER + 1;
    std::optional<std::string_view> group;
    for (const CBookmark* pRow : rows) {
        if (bGroups) {
            const std::string_view strFolder =
                pRow->m_pFolder != nullptr ? pRow->m_pFolder->m_strName.view() : std::string_view();
            if (!group || CompareNoCase(strFolder, *group) != 0) {
                if (group) {
                    file.WriteString("    </DL><p>\n");
                }
                file.WriteString("  <DT><H3>" + EscapeHtmlName(strFolder) + "</H3>\n    <DL><p>\n");
                group = strFolder;
            }
        }
        file.WriteString("  <DT><A HREF=\"" + EscapeHtmlURL(pRow->m_strURL) + "\">" +
                         EscapeHtmlName(pRow->m_strName) + "</A>\n");
    }
    if (bGroups) {
        file.WriteString("    </DL><p>\n");
    }
    file.WriteString("</DL>\n</BODY>\n</HTML>\n");
}

std::size_t CTVLDlgBase::GetSelectionTextSize() const {
    std::size_t nSize = 0;
    for (const CBookmark* pRow : GetSelectedRows()) {
        nSize += pRow->m_strURL.size() + 2;
    }
    return nSize;
}

void CTVLDlgBase::GetSelectionText(char* pBuffer) const {
    for (const CBookmark* pRow : GetSelectedRows()) {
        std::memcpy(pBuffer, pRow->m_strURL.data(), pRow->m_strURL.size());
        pBuffer += pRow->m_strURL.size();
        *pBuffer++ = '\r';
        *pBuffer++ = '\n';
    }
    *pBuffer = '\0';
}
