// Reads the Netscape bookmark file: a line scanner that looks for fixed
// attribute markers, not an HTML parser.
#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "catalogue/HtmlText.h"
#include "catalogue/TVLDlgBase.h"
#include "platform/Heap.h"
#include "platform/Path.h"

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// An unsigned decimal number at the start of the text; 0 when there is none.
// Values too large for the time type are held at its largest value.
CTime NumberAt(std::string_view strText) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<CTime>::max());
    std::uint64_t n = 0;
    for (const char c : strText) {
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

// The text of a line without its line end.
std::string_view WithoutLineEnd(std::string_view strText) {
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r')) {
        strText.remove_suffix(1);
    }
    return strText;
}

// One attribute of a tag: its whole text as written, its name and its value.
struct CAttribute {
    std::string_view strText;
    std::string_view strName;
    std::string_view strValue;
    char cUnclosed = 0;  // the quotation mark of a value that runs to the line end
};

// A tag that starts at a "<": its name, its attributes, and where it ends,
// just after its closing ">" (or at the line end when it has none). A ">"
// inside a quoted value does not end it.
struct CTag {
    std::string_view strName;
    std::vector<CAttribute> attributes;
    std::size_t nEnd = 0;
};

void ParseTag(std::string_view strLine, std::size_t nStart, CTag& tag) {
    tag.attributes.clear();
    std::size_t i = nStart + 1;
    const std::size_t nName = i;
    if (i < strLine.size() && strLine[i] == '/') {
        ++i;
    }
    while (i < strLine.size() && std::isalnum(static_cast<unsigned char>(strLine[i]))) {
        ++i;
    }
    tag.strName = strLine.substr(nName, i - nName);
    for (;;) {
        while (i < strLine.size() && (IsBlank(strLine[i]) || strLine[i] == '/')) {
            ++i;
        }
        if (i >= strLine.size() || strLine[i] == '>') {
            break;
        }
        const std::size_t nAttr = i;
        while (i < strLine.size() && !IsBlank(strLine[i]) && strLine[i] != '=' &&
               strLine[i] != '>') {
            ++i;
        }
        CAttribute attr;
        attr.strName = strLine.substr(nAttr, i - nAttr);
        std::size_t j = i;
        while (j < strLine.size() && IsBlank(strLine[j])) {
            ++j;
        }
        if (j < strLine.size() && strLine[j] == '=') {
            ++j;
            while (j < strLine.size() && IsBlank(strLine[j])) {
                ++j;
            }
            if (j < strLine.size() && (strLine[j] == '"' || strLine[j] == '\'')) {
                const std::size_t nClose = strLine.find(strLine[j], j + 1);
                const std::size_t nValueEnd = nClose == npos ? strLine.size() : nClose;
                attr.strValue = WithoutLineEnd(strLine.substr(j + 1, nValueEnd - j - 1));
                attr.cUnclosed = nClose == npos ? strLine[j] : 0;
                i = nClose == npos ? strLine.size() : nClose + 1;
            } else {
                std::size_t k = j;
                while (k < strLine.size() && !IsBlank(strLine[k]) && strLine[k] != '>') {
                    ++k;
                }
                attr.strValue = strLine.substr(j, k - j);
                i = k;
            }
        }
        attr.strText = WithoutLineEnd(strLine.substr(nAttr, i - nAttr));
        // A value without a name is no attribute: written back after another
        // attribute it would become that one's value.
        if (!attr.strName.empty()) {
            tag.attributes.push_back(attr);
        }
    }
    tag.nEnd = i < strLine.size() ? i + 1 : strLine.size();
}

// Whether the line holds an <H1> tag, with or without attributes.
bool HasHeading(std::string_view strLine) {
    for (std::size_t p = strLine.find('<'); p != npos; p = strLine.find('<', p + 1)) {
        if (p + 3 <= strLine.size() && (strLine[p + 1] | 0x20) == 'h' && strLine[p + 2] == '1' &&
            (p + 3 == strLine.size() ||
             !std::isalnum(static_cast<unsigned char>(strLine[p + 3])))) {
            return true;
        }
    }
    return false;
}

CNetscapeExtra& ExtraOf(CBookmark& mark) {
    if (!mark.m_pNSExtra) {
        mark.m_pNSExtra = std::make_unique<CNetscapeExtra>();
    }
    return *mark.m_pNSExtra;
}

// A <DD> text ends with the line that holds it, without the blanks that
// indent the next tag: the writer puts that tag on a line of its own. strText
// is the text as read, which the record gets at its final size.
void EndDescription(CBookmark& mark, std::string_view strText) {
    const std::size_t nLast = strText.find_last_not_of(" \t");
    if (nLast != npos && strText[nLast] == '\n') {
        strText = strText.substr(0, nLast);
    }
    mark.m_pNSExtra->strDescription = strText;
}

// The plain text of a name or URL; the file's own bytes are kept where
// escaping the plain text would not give them back.
void SetText(CBookmark& mark, std::string_view strHtml, bool bURL) {
    // Most text holds nothing that decoding or escaping would change.
    const bool bPlain = std::none_of(strHtml.begin(), strHtml.end(), [](char c) {
        return c == '&' || c == '"' || c == '<' || c == '>' || c == '\n' || c == '\r';
    });
    // Each text is made at its final size: a catalogue of a million entries
    // would otherwise hold tens of megabytes of unused capacity.
    if (bPlain) {
        (bURL ? mark.m_strURL : mark.m_strName) = std::string(strHtml);
        return;
    }
    std::string strPlain = DecodeHtml(strHtml, bURL);
    // A URL is written in double quotes: one that held them is written escaped.
    const bool bKeepable = !bURL || strHtml.find('"') == std::string_view::npos;
    if (bKeepable && (bURL ? EscapeHtmlURL(strPlain) : EscapeHtmlName(strPlain)) != strHtml) {
        (bURL ? ExtraOf(mark).strHtmlURL : ExtraOf(mark).strHtmlName) = strHtml;
    }
    strPlain.shrink_to_fit();
    (bURL ? mark.m_strURL : mark.m_strName) = std::move(strPlain);
}

// A tag's attribute that the record does not hold itself, kept as written.
void KeepAttribute(std::string& strAttributes, const CAttribute& attr) {
    strAttributes += ' ';
    strAttributes += attr.strText;
    // Closed, so that the value does not take in what the writer puts after it.
    if (attr.cUnclosed != 0) {
        strAttributes += attr.cUnclosed;
    }
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
    std::string_view strLine;
    m_strNSHeader.clear();
    m_bNSHeading = false;
    while (!m_bNSHeading && reader.ReadLine(strLine)) {
        m_strNSHeader += strLine;
        if (m_strNSHeader.size() > kMaxNetscapeHead) {
            return false;
        }
        m_bNSHeading = HasHeading(strLine);
    }
    if (!m_bNSHeading) {
        return !reader.LineTooLong();
    }
    // Every line of the head ends with its line end, and one empty line follows.
    if (m_strNSHeader.back() != '\n') {
        m_strNSHeader += '\n';
    }
    m_strNSHeader += '\n';

    // Null once the outermost list has been closed; later entries go to the root.
    CBookmark* pCurrent = pRoot;
    // For each open heading, the folder that was current before it (the root
    // when there was none). Its size is the depth of pCurrent, except that
    // headings beyond kMaxFolderDepth all sit at that depth.
    std::vector<CBookmark*> opened;
    // The entry that a <DD> describes: the last one read, unless a list was
    // closed since; and the record whose <DD> text goes on past its line.
    CBookmark* pLast = pRoot;
    CBookmark* pDescribed = nullptr;
    // The <DD> text of pDescribed so far, and the kept attributes of a tag,
    // gathered here and given to the record once they are whole.
    std::string strDescription;
    std::string strAttributes;
    CTag tag;
    // The records' memory is made present in steps as they are read.
    CHeapReserve heap;
    const int nFirst = m_bookmarks.GetSize();
    std::size_t nLineBytes = 0;
    while (reader.ReadLine(strLine)) {
        const std::string_view strView = strLine;
        std::size_t p = strView.find('<');
        if (pDescribed != nullptr) {
            strDescription += strView.substr(0, p);
            if (p == npos) {
                continue;
            }
        }
        for (; p != npos; p = strView.find('<', p)) {
            if (pDescribed != nullptr) {
                EndDescription(*pDescribed, strDescription);
                pDescribed = nullptr;
            }
            ParseTag(strView, p, tag);
            p = tag.nEnd;
            CBookmark* const pIn = pCurrent != nullptr ? pCurrent : pRoot;
            const bool bAnchor = EqualNoCase(tag.strName, "A");
            if (bAnchor || EqualNoCase(tag.strName, "H3")) {
                auto* pMark = new CBookmark;
                bool bDated = false;
                bool bLinked = false;
                strAttributes.clear();
                for (const CAttribute& attr : tag.attributes) {
                    if (bAnchor && !bLinked && EqualNoCase(attr.strName, "HREF")) {
                        SetText(*pMark, attr.strValue, true);
                        bLinked = true;
                    } else if (!bDated && EqualNoCase(attr.strName, "ADD_DATE")) {
                        pMark->m_tAdded = NumberAt(attr.strValue);
                        bDated = true;
                    } else if (bAnchor && EqualNoCase(attr.strName, "LAST_VISIT")) {
                        pMark->m_tVisited = NumberAt(attr.strValue);
                    } else if (bAnchor && EqualNoCase(attr.strName, "LAST_MODIFIED")) {
                        pMark->m_tModified = NumberAt(attr.strValue);
                    } else if (bAnchor || !EqualNoCase(attr.strName, "FOLDED")) {
                        KeepAttribute(strAttributes, attr);
                    }
                }
                if (!strAttributes.empty()) {
                    ExtraOf(*pMark).strAttributes = strAttributes;
                }
                const std::size_t nText = std::min(p, strView.size());
                SetText(*pMark,
                        WithoutLineEnd(strView.substr(nText, strView.find('<', nText) - nText)),
                        false);
                if (bAnchor) {
                    pMark->m_pFolder = pIn;
                    pMark->m_nFlags = BMF_NETSCAPE;
                } else {
                    if (!bDated) {
                        ExtraOf(*pMark).bNoDate = true;
                    }
                    // At the deepest level a heading becomes a sibling of the current folder.
                    const bool bAtLimit =
                        opened.size() >= static_cast<std::size_t>(kMaxFolderDepth);
                    pMark->m_pFolder = bAtLimit ? pIn->m_pFolder : pIn;
                    pMark->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
                    opened.push_back(pIn);
                    pCurrent = pMark;
                }
                nLineBytes += strView.size();
                if (m_bookmarks.Add(pMark) % 4096 == 0) {
                    ImportCount(static_cast<std::size_t>(m_bookmarks.GetSize()));
                    // At least a record's size each, and half of the lines'
                    // bytes for their texts.
                    heap.Reach(static_cast<std::size_t>(m_bookmarks.GetSize() - nFirst) *
                                   sizeof(CBookmark) +
                               nLineBytes / 2);
                }
                pLast = pMark;
            } else if (EqualNoCase(tag.strName, "DD")) {
                CNetscapeExtra* pExtra = pLast != nullptr ? pLast->m_pNSExtra.get() : nullptr;
                if (pLast != nullptr && (pExtra == nullptr || !pExtra->bDescription)) {
                    ExtraOf(*pLast).bDescription = true;
                    pDescribed = pLast;
                    const std::size_t nText = std::min(p, strView.size());
                    strDescription.assign(strView.substr(nText, strView.find('<', nText) - nText));
                }
            } else if (EqualNoCase(tag.strName, "/DL")) {
                pLast = nullptr;
                if (pCurrent != nullptr) {
                    if (opened.empty()) {
                        pCurrent = nullptr;
                    } else {
                        pCurrent = opened.back();
                        opened.pop_back();
                    }
                }
            }
        }
    }
    if (pDescribed != nullptr) {
        EndDescription(*pDescribed, strDescription);
    }
    return !reader.LineTooLong();
}
