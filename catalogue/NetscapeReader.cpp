// Reads the Netscape bookmark file: a line scanner that looks for fixed
// attribute markers, not an HTML parser.
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <limits>
#include <memory>
#include <vector>

#include "catalogue/HtmlText.h"
#include "catalogue/TVLDlgBase.h"
#include "platform/Heap.h"
#include "platform/Path.h"
#include "platform/Worker.h"

namespace {

constexpr std::size_t npos = std::string::npos;

// The bytes that end or skip the parts of a tag, looked up at once: the
// reader goes through every tag of the file a byte at a time.
enum : unsigned char { kBlankByte = 1, kEndsName = 2, kEndsValue = 4, kBetween = 8 };
constexpr auto kTagBytes = [] {
    std::array<unsigned char, 256> table{};
    for (const char c : {' ', '\t', '\n', '\r', '\f'}) {
        table[static_cast<unsigned char>(c)] = kBlankByte | kEndsName | kEndsValue | kBetween;
    }
    table['='] = kEndsName;
    table['>'] = kEndsName | kEndsValue;
    table['/'] = kBetween;
    return table;
}();

bool ByteIs(char c, unsigned char nClass) {
    return (kTagBytes[static_cast<unsigned char>(c)] & nClass) != 0;
}

bool IsBlank(char c) {
    return ByteIs(c, kBlankByte);
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
    const std::size_t nSize = strLine.size();
    std::size_t i = nStart + 1;
    const std::size_t nName = i;
    if (i < nSize && strLine[i] == '/') {
        ++i;
    }
    while (i < nSize && std::isalnum(static_cast<unsigned char>(strLine[i]))) {
        ++i;
    }
    tag.strName = strLine.substr(nName, i - nName);
    for (;;) {
        while (i < nSize && ByteIs(strLine[i], kBetween)) {
            ++i;
        }
        if (i >= nSize || strLine[i] == '>') {
            break;
        }
        const std::size_t nAttr = i;
        while (i < nSize && !ByteIs(strLine[i], kEndsName)) {
            ++i;
        }
        CAttribute attr;
        attr.strName = strLine.substr(nAttr, i - nAttr);
        std::size_t j = i;
        while (j < nSize && ByteIs(strLine[j], kBlankByte)) {
            ++j;
        }
        if (j < nSize && strLine[j] == '=') {
            ++j;
            while (j < nSize && ByteIs(strLine[j], kBlankByte)) {
                ++j;
            }
            if (j < nSize && (strLine[j] == '"' || strLine[j] == '\'')) {
                const std::size_t nClose = strLine.find(strLine[j], j + 1);
                const std::size_t nValueEnd = nClose == npos ? nSize : nClose;
                attr.strValue = WithoutLineEnd(strLine.substr(j + 1, nValueEnd - j - 1));
                attr.cUnclosed = nClose == npos ? strLine[j] : 0;
                i = nClose == npos ? nSize : nClose + 1;
            } else {
                std::size_t k = j;
                while (k < nSize && !ByteIs(strLine[k], kEndsValue)) {
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
    tag.nEnd = i < nSize ? i + 1 : nSize;
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
    return mark.m_nsPart.MakeExtra();
}

// A <DD> text ends with the line that holds it, without the blanks that
// indent the next tag: the writer puts that tag on a line of its own. strText
// is the text as read, which the record gets at its final size.
void EndDescription(CTextStore& texts, CBookmark& mark, std::string_view strText) {
    const std::size_t nLast = strText.find_last_not_of(" \t");
    if (nLast != npos && strText[nLast] == '\n') {
        strText = strText.substr(0, nLast);
    }
    mark.NSExtra()->strDescription.Borrow(texts, strText);
}

// Gives the record the plain text of a name or URL. True where the file's own
// bytes must be kept too, as escaping the plain text would not give them back.
bool SetText(CTextStore& texts, CBookmark& mark, std::string_view strHtml, bool bURL) {
    // Most text holds nothing that decoding or escaping would change.
    if (FindHtmlSpecial(strHtml, 0) == npos) {
        (bURL ? mark.m_strURL : mark.m_strName).Borrow(texts, strHtml);
        return false;
    }
    std::string strPlain = DecodeHtml(strHtml, bURL);
    (bURL ? mark.m_strURL : mark.m_strName).Borrow(texts, strPlain);
    // A URL is written in double quotes: one that held them is written escaped.
    const bool bKeepable = !bURL || strHtml.find('"') == std::string_view::npos;
    return bKeepable && (bURL ? EscapeHtmlURL(strPlain) : EscapeHtmlName(strPlain)) != strHtml;
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

// The entries of the file's body, a line at a time. A part that starts in
// the middle of the file does not know which folders are open there: it
// stands in placeholders for them, the k-th for the folder that is current
// once k lists more than it opened have been closed, and the join puts in
// the folders that the first part left open.
class CEntryParser {
public:
    // The records' names and URLs go into texts.
    CEntryParser(CBookmark* pRoot, bool bPart, CTextStore& texts)
        : m_texts(texts), m_pRoot(pRoot), m_pCurrent(pRoot), m_pLast(pRoot), m_bPart(bPart) {
        if (bPart) {
            m_pCurrent = Placeholder(0);
        }
    }

    // onAdded(record, line size) is told of each new record, which a part
    // keeps itself and the first part's caller takes.
    template <class FAdded>
    void Line(std::string_view strView, FAdded onAdded) {
        std::size_t p = strView.find('<');
        if (m_pDescribed != nullptr) {
            m_strDescription += strView.substr(0, p);
            if (p == npos) {
                return;
            }
        }
        for (; p != npos && !m_bGaveUp; p = strView.find('<', p)) {
            if (m_pDescribed != nullptr) {
                EndDescription(m_texts, *m_pDescribed, m_strDescription);
                m_pDescribed = nullptr;
            }
            ParseTag(strView, p, m_tag);
            p = m_tag.nEnd;
            CBookmark* const pIn = m_pCurrent != nullptr ? m_pCurrent : m_pRoot;
            const bool bAnchor = EqualNoCase(m_tag.strName, "A");
            if (bAnchor || EqualNoCase(m_tag.strName, "H3")) {
                // At the deepest level a heading becomes a sibling of the
                // current folder, which a part may not know.
                const bool bAtLimit =
                    !bAnchor && m_opened.size() >= static_cast<std::size_t>(kMaxFolderDepth);
                if (bAtLimit && m_bPart) {
                    m_bGaveUp = true;
                    return;
                }
                auto* pMark = new CBookmark;
                Fill(*pMark, bAnchor, strView, p);
                if (bAnchor) {
                    pMark->m_pFolder = pIn;
                    pMark->m_nFlags = BMF_NETSCAPE;
                } else {
                    pMark->m_pFolder = bAtLimit ? pIn->m_pFolder : pIn;
                    pMark->m_nFlags = BMF_FOLDER | BMF_NETSCAPE;
                    m_opened.push_back(pIn);
                    m_nMaxDepth = std::max(m_nMaxDepth, m_opened.size());
                    m_pCurrent = pMark;
                }
                if (m_bPart) {
                    if (IsPlaceholder(pIn)) {
                        m_placed.push_back(m_records.size());
                    }
                    m_records.push_back(pMark);
                }
                onAdded(pMark, strView.size());
                m_pLast = pMark;
            } else if (EqualNoCase(m_tag.strName, "DD")) {
                CNetscapeExtra* pExtra = m_pLast != nullptr ? m_pLast->NSExtra() : nullptr;
                if (m_pLast != nullptr && (pExtra == nullptr || !pExtra->bDescription)) {
                    ExtraOf(*m_pLast).bDescription = true;
                    m_pDescribed = m_pLast;
                    const std::size_t nText = std::min(p, strView.size());
                    m_strDescription.assign(
                        strView.substr(nText, strView.find('<', nText) - nText));
                }
            } else if (EqualNoCase(m_tag.strName, "/DL")) {
                m_pLast = nullptr;
                if (m_pCurrent != nullptr) {
                    if (!m_opened.empty()) {
                        m_pCurrent = m_opened.back();
                        m_opened.pop_back();
                    } else if (m_bPart) {
                        m_pCurrent = Placeholder(m_placeholders.size());
                    } else {
                        m_pCurrent = nullptr;
                    }
                }
            }
        }
    }

    // The input ended, or the second part begins: a <DD> text runs to here.
    // The blanks that indent the second part's first tag need not be added:
    // a <DD> text ends at its last line end.
    void End() {
        if (m_pDescribed != nullptr) {
            EndDescription(m_texts, *m_pDescribed, m_strDescription);
            m_pDescribed = nullptr;
        }
    }

    bool GaveUp() const { return m_bGaveUp; }
    // The headings open now, and the most that were at once.
    std::size_t Depth() const { return m_opened.size(); }
    std::size_t MaxDepth() const { return m_nMaxDepth; }

    // The second part, given the first: each placeholder becomes the folder
    // it stands for.
    void JoinAfter(const CEntryParser& first) {
        const std::size_t nOpen = first.m_opened.size();
        for (const std::size_t i : m_placed) {
            CBookmark* pMark = m_records[i];
            const auto k = static_cast<std::size_t>(pMark->m_pFolder->m_tAdded);
            CBookmark* pFolder = k == 0       ? first.m_pCurrent
                                 : k <= nOpen ? first.m_opened[nOpen - k]
                                              : nullptr;
            pMark->m_pFolder = pFolder != nullptr ? pFolder : m_pRoot;
        }
    }

    void DeleteRecords() {
        for (CBookmark* pMark : m_records) {
            delete pMark;
        }
        m_records.clear();
    }

    // A part's records, in order.
    const std::vector<CBookmark*>& Records() const { return m_records; }

private:
    // More lists closed than opened is rare: so many that every later line
    // would mostly add placeholders are left to the first part's reader.
    static constexpr std::size_t kMaxPlaceholders = 4096;

    CBookmark* Placeholder(std::size_t k) {
        if (k >= kMaxPlaceholders) {
            m_bGaveUp = true;
            return m_pCurrent;
        }
        m_placeholders.push_back(std::make_unique<CBookmark>());
        m_placeholders.back()->m_tAdded = static_cast<CTime>(k);
        return m_placeholders.back().get();
    }
    // Every folder of the file has flags; a placeholder has none.
    static bool IsPlaceholder(const CBookmark* pFolder) { return pFolder->m_nFlags == 0; }

    // The record's texts and dates from the tag just parsed, which ends at p.
    void Fill(CBookmark& mark, bool bAnchor, std::string_view strView, std::size_t p) {
        bool bDated = false;
        const CAttribute* pLink = nullptr;
        m_strAttributes.clear();
        for (const CAttribute& attr : m_tag.attributes) {
            if (bAnchor && pLink == nullptr && EqualNoCase(attr.strName, "HREF")) {
                pLink = &attr;
            } else if (!bDated && EqualNoCase(attr.strName, "ADD_DATE")) {
                mark.m_tAdded = NumberAt(attr.strValue);
                bDated = true;
            } else if (bAnchor && EqualNoCase(attr.strName, "LAST_VISIT")) {
                mark.m_tVisited = NumberAt(attr.strValue);
            } else if (bAnchor && EqualNoCase(attr.strName, "LAST_MODIFIED")) {
                mark.m_tModified = NumberAt(attr.strValue);
            } else if (bAnchor || !EqualNoCase(attr.strName, "FOLDED")) {
                KeepAttribute(m_strAttributes, attr);
            }
        }
        // The URL and the name go into the texts side by side, where the
        // filter reads them, and what else the record keeps after them.
        const bool bKeepURL = pLink != nullptr && SetText(m_texts, mark, pLink->strValue, true);
        const std::size_t nText = std::min(p, strView.size());
        const std::string_view strName =
            WithoutLineEnd(strView.substr(nText, strView.find('<', nText) - nText));
        if (SetText(m_texts, mark, strName, false)) {
            ExtraOf(mark).strHtmlName.Borrow(m_texts, strName);
        }
        if (bKeepURL) {
            ExtraOf(mark).strHtmlURL.Borrow(m_texts, pLink->strValue);
        }
        if (!m_strAttributes.empty()) {
            ExtraOf(mark).strAttributes.Borrow(m_texts, m_strAttributes);
        }
        if (!bAnchor && !bDated) {
            ExtraOf(mark).bNoDate = true;
        }
    }

    CTextStore& m_texts;
    CBookmark* const m_pRoot;
    // Null once the outermost list has been closed; later entries go to the
    // root. For each open heading, the folder that was current before it (the
    // root when there was none). Its size is the depth of m_pCurrent, except
    // that headings beyond kMaxFolderDepth all sit at that depth.
    CBookmark* m_pCurrent;
    std::vector<CBookmark*> m_opened;
    // The entry that a <DD> describes: the last one read, unless a list was
    // closed since; and the record whose <DD> text goes on past its line.
    CBookmark* m_pLast;
    CBookmark* m_pDescribed = nullptr;
    // The <DD> text of m_pDescribed so far, and the kept attributes of a tag,
    // gathered here and given to the record once they are whole.
    std::string m_strDescription;
    std::string m_strAttributes;
    CTag m_tag;
    const bool m_bPart;
    bool m_bGaveUp = false;
    std::size_t m_nMaxDepth = 0;
    std::vector<CBookmark*> m_records;
    std::vector<std::unique_ptr<CBookmark>> m_placeholders;
    std::vector<std::size_t> m_placed;  // records whose folder is a placeholder
};

// Below this many bytes after its head, a file is read in one part.
constexpr std::uint64_t kSplitSize = std::uint64_t{8} << 20;
// How far past the middle a line that can start the second part is looked for.
constexpr std::uint64_t kSplitSearch = std::uint64_t{1} << 20;

struct CSplit {
    bool bFound = false;
    std::uint64_t nAt = 0;      // the second part's first line
    std::uint64_t nHashAt = 0;  // where its hash starts
};

// Whether a line starts, after blanks, with "<DT>" directly followed by an
// entry's tag: nothing of the part before it then carries over into it but
// the open folders and a <DD> text that this line ends.
bool StartsEntry(std::string_view strLine) {
    std::size_t nIndent = 0;
    while (nIndent < strLine.size() && (strLine[nIndent] == ' ' || strLine[nIndent] == '\t')) {
        ++nIndent;
    }
    const std::string_view strTag = strLine.substr(nIndent);
    const auto tagged = [&strTag](std::string_view strStart) {
        return strTag.size() > strStart.size() &&
               EqualNoCase(strTag.substr(0, strStart.size()), strStart);
    };
    if (tagged("<DT><A")) {
        return IsBlank(strTag[6]);
    }
    return tagged("<DT><H3") && (IsBlank(strTag[7]) || strTag[7] == '>');
}

// The first line from nFrom on (or from the middle of what is still to read,
// given 0) where the second part can start, when the file is large enough.
CSplit FindSplit(const CTextFileReader& reader, std::uint64_t nFrom) {
    CSplit split;
    if (!reader.CanSplit()) {
        return split;
    }
    if (nFrom == 0) {
        const std::uint64_t nSize = reader.FileSize();
        if (nSize < reader.Offset() || nSize - reader.Offset() < kSplitSize) {
            return split;
        }
        nFrom = reader.Offset() + (nSize - reader.Offset()) / 2;
    }
    std::string strWindow(kSplitSearch, '\0');
    // The line start after the first line end at or after nFrom - 1.
    const std::uint64_t nBase = nFrom - 1;
    const std::size_t nGot = reader.Peek(nBase, strWindow.data(), strWindow.size());
    const std::string_view strText(strWindow.data(), nGot);
    for (std::size_t nEnd = strText.find('\n'); nEnd != npos; nEnd = strText.find('\n', nEnd + 1)) {
        const std::size_t nLine = nEnd + 1;
        const std::size_t nLineEnd = strText.find('\n', nLine);
        if (nLineEnd == npos) {
            break;
        }
        if (StartsEntry(strText.substr(nLine, nLineEnd - nLine))) {
            split.nAt = nBase + nLine;
            split.nHashAt = split.nAt - split.nAt % CContentHash::kBlock;
            // What this reader has hashed already stays with it.
            split.bFound = split.nHashAt >= reader.Offset();
            return split;
        }
    }
    return split;
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
    m_nNSParts = 1;
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

    CEntryParser parser(pRoot, false, m_texts);
    // The records' memory is made present in steps as they are read.
    CHeapReserve heap;
    const int nFirst = m_bookmarks.GetSize();
    std::size_t nLineBytes = 0;
    std::atomic<std::size_t> nRestRead{0};
    const auto add = [&](CBookmark* pMark, std::size_t nLine) {
        nLineBytes += nLine;
        if (m_bookmarks.Add(pMark) % 4096 == 0) {
            ImportCount(static_cast<std::size_t>(m_bookmarks.GetSize()) +
                        nRestRead.load(std::memory_order_relaxed));
            // At least a record's size each, and half of the lines' bytes for
            // their texts.
            heap.Reach(static_cast<std::size_t>(m_bookmarks.GetSize() - nFirst) *
                           sizeof(CBookmark) +
                       nLineBytes / 2);
        }
    };
    const CSplit split = FindSplit(reader, m_nNSSplitFrom);
    if (!split.bFound) {
        while (reader.ReadLine(strLine)) {
            parser.Line(strLine, add);
        }
        parser.End();
        return !reader.LineTooLong();
    }

    // A large file is read in two parts at once: the second part on the
    // worker thread, not knowing which folders are open where it starts.
    reader.EndAt(split.nAt, split.nHashAt);
    CTextFileReader rest;
    rest.AttachRest(reader, split.nAt, split.nHashAt);
    CTextStore restTexts;
    CEntryParser restParser(pRoot, true, restTexts);
    CWorkerJob restRead = CWorker::Get().Run([&] {
        std::string_view strRestLine;
        while (!restParser.GaveUp() && rest.ReadLine(strRestLine)) {
            restParser.Line(strRestLine, [&nRestRead](CBookmark*, std::size_t) {
                nRestRead.fetch_add(1, std::memory_order_relaxed);
            });
        }
        restParser.End();
    });
    while (reader.ReadLine(strLine)) {
        parser.Line(strLine, add);
    }
    restRead.Wait();
    if (reader.LineTooLong()) {
        restParser.DeleteRecords();
        return false;
    }
    if (!restParser.GaveUp() && parser.Depth() + restParser.MaxDepth() < kMaxFolderDepth) {
        parser.End();
        restParser.JoinAfter(parser);
        for (CBookmark* pMark : restParser.Records()) {
            m_bookmarks.Add(pMark);
        }
        m_texts.Adopt(std::move(restTexts));
        reader.JoinHash(rest);
        m_nNSParts = 2;
        return !rest.LineTooLong();
    }
    // Where the second part cannot tell what the first one would have made of
    // it, this reader goes on with it.
    restParser.DeleteRecords();
    rest.AttachRest(reader, split.nAt, split.nHashAt);
    while (rest.ReadLine(strLine)) {
        parser.Line(strLine, add);
    }
    parser.End();
    reader.JoinHash(rest);
    return !rest.LineTooLong();
}
