// Reads the Netscape bookmark file: a line scanner that looks for fixed
// attribute markers, not an HTML parser.
#include <limits>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "platform/Path.h"

namespace {

constexpr std::size_t npos = std::string::npos;

// Text from nStart up to the next cStop; with no cStop, up to the line end.
std::string TextUntil(const std::string& strLine, std::size_t nStart, char cStop) {
    if (nStart >= strLine.size()) {
        return {};
    }
    std::size_t nEnd = strLine.find(cStop, nStart);
    if (nEnd == npos) {
        nEnd = strLine.size();
        while (nEnd > nStart && (strLine[nEnd - 1] == '\n' || strLine[nEnd - 1] == '\r')) {
            --nEnd;
        }
    }
    return strLine.substr(nStart, nEnd - nStart);
}

// The element text after the first ">" at or beyond nStart, up to the next "<".
std::string ElementText(const std::string& strLine, std::size_t nStart) {
    if (nStart >= strLine.size()) {
        return {};
    }
    const std::size_t nGt = strLine.find('>', nStart);
    return nGt == npos ? std::string() : TextUntil(strLine, nGt + 1, '<');
}

// An unsigned decimal number at nStart; 0 when there is none. Values too large
// for the time type are held at its largest value.
CTime NumberAt(const std::string& strLine, std::size_t nStart) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<CTime>::max());
    std::uint64_t n = 0;
    for (std::size_t i = nStart; i < strLine.size(); ++i) {
        const char c = strLine[i];
        if (c < '0' || c > '9') {
            break;
        }
        const auto nDigit = static_cast<std::uint64_t>(c - '0');
        // Tested before the step, so that n never wraps round.
        if (n > (kMax - nDigit) / 10) {
            return static_cast<CTime>(kMax);
        }
        n = n * 10 + nDigit;
    }
    return static_cast<CTime>(n);
}

// The value of a date attribute anywhere in the line; nSkip leads from the start
// of the marker to just past the opening quotation mark.
CTime DateAfter(const std::string& strLine, const char* pszMarker, std::size_t nSkip) {
    const std::size_t p = strLine.find(pszMarker);
    return p == npos ? 0 : NumberAt(strLine, p + nSkip);
}

}  // namespace

void CTVLDlgBase::ReadNetscapeFile() {
    auto* pRoot = new CBookmark;
    pRoot->m_strURL = JoinPath(m_strFavorites, kNetscapeRootName);
    pRoot->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
    const int nRoot = m_bookmarks.Add(pRoot);

    m_stampNSFile.reset();
    CTextFileReader reader;
    CFileStamp stamp;
    if ((!m_bNetscape && !m_bNSRegistry) ||
        !m_pFileSystem->OpenTextFile(m_strNSFile, reader, std::numeric_limits<std::uint64_t>::max(),
                                     &stamp)) {
        MarkStoreMissing(STORE_NETSCAPE);
        return;
    }
    if (ReadNetscapeStream(reader, pRoot)) {
        // What Save compares with the file on disk before it replaces it.
        stamp.nHash = reader.ContentHash();
        m_stampNSFile = stamp;
    } else {
        // Nothing of a file given up on is kept, so that Save cannot write it back cut.
        while (m_bookmarks.GetSize() > nRoot + 1) {
            m_bookmarks.RemoveAndDelete(m_bookmarks.GetSize() - 1);
        }
        m_strNSHeader.clear();
        MarkStoreMissing(STORE_NETSCAPE);
    }
}

bool CTVLDlgBase::ReadNetscapeStream(CTextFileReader& reader, CBookmark* pRoot) {
    reader.SetLineLimit(kMaxNetscapeLine);
    std::string strLine;
    m_strNSHeader.clear();
    while (reader.ReadLine(strLine)) {
        m_strNSHeader += strLine;
        if (m_strNSHeader.size() > kMaxNetscapeHead) {
            return false;
        }
        if (strLine.find("<H1>") != npos) {
            break;
        }
    }
    m_strNSHeader += '\n';

    // Null once the outermost list has been closed; later entries go to the root.
    CBookmark* pCurrent = pRoot;
    // For each open heading, the folder that was current before it (the root
    // when there was none). Its size is the depth of pCurrent, except that
    // headings beyond kMaxFolderDepth all sit at that depth.
    std::vector<CBookmark*> opened;
    while (reader.ReadLine(strLine)) {
        CBookmark* const pIn = pCurrent != nullptr ? pCurrent : pRoot;
        std::size_t p = strLine.find(" HREF=");
        if (p != npos) {
            auto* pMark = new CBookmark;
            pMark->m_strURL = TextUntil(strLine, p + 7, '"');
            pMark->m_strName = ElementText(strLine, p + 11);
            pMark->m_tAdded = DateAfter(strLine, "ADD_DATE=", 10);
            pMark->m_tVisited = DateAfter(strLine, "LAST_VISIT=", 12);
            pMark->m_tModified = DateAfter(strLine, "LAST_MODIFIED=", 15);
            pMark->m_pFolder = pIn;
            pMark->m_nFlags = BMF_NETSCAPE;
            m_bookmarks.Add(pMark);
        } else if ((p = strLine.find(" ADD_DATE=")) != npos) {
            auto* pFolder = new CBookmark;
            pFolder->m_tAdded = NumberAt(strLine, p + 11);
            pFolder->m_strName = ElementText(strLine, p + 11);
            // At the deepest level a heading becomes a sibling of the current folder.
            const bool bAtLimit = opened.size() >= static_cast<std::size_t>(kMaxFolderDepth);
            pFolder->m_pFolder = bAtLimit ? pIn->m_pFolder : pIn;
            pFolder->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
            m_bookmarks.Add(pFolder);
            opened.push_back(pIn);
            pCurrent = pFolder;
        } else if (strLine.find("</DL>") != npos && pCurrent != nullptr) {
            if (opened.empty()) {
                pCurrent = nullptr;
            } else {
                pCurrent = opened.back();
                opened.pop_back();
            }
        }
    }
    return !reader.LineTooLong();
}
