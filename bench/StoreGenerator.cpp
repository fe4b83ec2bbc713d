#include "bench/StoreGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Independent random streams: the Netscape tree's shape does not move the
// bookmarks, and bookmark i is the same whatever store asks for it.
enum : std::uint64_t {
    STREAM_NETSCAPE_LINK = 1,
    STREAM_FAVORITES_LINK = 2,
    STREAM_NETSCAPE_TREE = 3,
    STREAM_FAVORITES_TREE = 4,
};

constexpr int kMaxDepth = 5;
constexpr std::int64_t kFirstDate = 915148800;  // 1999-01-01
constexpr std::int64_t kLastDate = 1700000000;  // 2023-11-14

// The splitmix64 finaliser: spreads nearby seeds over the whole seed space.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Numbers taken straight from the engine, whose output the standard fixes; the
// standard distributions differ between libraries.
class CRandom {
public:
    CRandom(std::uint64_t nSeed, std::uint64_t nStream, std::uint64_t nIndex)
        : m_engine(Mix(Mix(Mix(nSeed) ^ nStream) ^ nIndex)) {}
    // The modulo bias is far below anything a benchmark input could show.
    std::uint64_t Below(std::uint64_t n) { return m_engine() % n; }
    int Between(int nLow, int nHigh) {
        return nLow + static_cast<int>(Below(static_cast<std::uint64_t>(nHigh - nLow + 1)));
    }
    bool PerMille(int n) { return Below(1000) < static_cast<std::uint64_t>(n); }
    template <std::size_t N>
    const char* Pick(const char* const (&table)[N]) {
        return table[Below(N)];
    }
    std::int64_t Date() {
        return kFirstDate + static_cast<std::int64_t>(Below(kLastDate - kFirstDate));
    }

private:
    std::mt19937_64 m_engine;
};

constexpr const char* kSyllables[] = {
    "ka",   "lo",    "mi",    "tra",  "net",   "zon",  "vel", "ar",  "bo",    "cin",  "da",
    "el",   "fi",    "gor",   "hu",   "is",    "jo",   "ke",  "lu",  "mar",   "no",   "or",
    "pa",   "qui",   "ra",    "si",   "tu",    "ur",   "vi",  "wa",  "xe",    "yo",   "zu",
    "tech", "soft",  "web",   "data", "cloud", "news", "hub", "lab", "media", "ware", "book",
    "mail", "press", "works", "line", "port",  "star", "dev"};

constexpr const char* kTlds[] = {"com",   "com", "com", "com", "org", "org", "net",  "de",
                                 "co.uk", "io",  "edu", "fr",  "nl",  "jp",  "info", "gov"};

// Plain ASCII except a few UTF-8 words, which names keep as bytes.
constexpr const char* kWords[] = {"Home",
                                  "Guide",
                                  "Tutorial",
                                  "News",
                                  "Weather",
                                  "Recipes",
                                  "Travel",
                                  "Music",
                                  "Photos",
                                  "Forum",
                                  "Blog",
                                  "Documentation",
                                  "Reference",
                                  "Manual",
                                  "Download",
                                  "Software",
                                  "Linux",
                                  "Windows",
                                  "Python",
                                  "Java",
                                  "Network",
                                  "Security",
                                  "Garden",
                                  "Kitchen",
                                  "Health",
                                  "Science",
                                  "History",
                                  "Maps",
                                  "Library",
                                  "Shop",
                                  "Books",
                                  "Games",
                                  "Movies",
                                  "Sports",
                                  "Finance",
                                  "Banking",
                                  "Jobs",
                                  "University",
                                  "School",
                                  "Course",
                                  "Lecture",
                                  "Notes",
                                  "Project",
                                  "Design",
                                  "Art",
                                  "Museum",
                                  "Hotel",
                                  "Flights",
                                  "Timetable",
                                  "Calendar",
                                  "Events",
                                  "Review",
                                  "Support",
                                  "Help",
                                  "FAQ",
                                  "Community",
                                  "Wiki",
                                  "Archive",
                                  "Gallery",
                                  "Video",
                                  "Podcast",
                                  "Radio",
                                  "Magazine",
                                  "Journal",
                                  "Research",
                                  "Conference",
                                  "Standards",
                                  "Compiler",
                                  "Kernel",
                                  "Database",
                                  "Server",
                                  "Protocol",
                                  "Email",
                                  "Office",
                                  "Printer",
                                  "Drivers",
                                  "Updates",
                                  "Release",
                                  "Changelog",
                                  "Tips",
                                  "Tools",
                                  "Utilities",
                                  "Best",
                                  "Free",
                                  "Open",
                                  "Source",
                                  "Quick",
                                  "Simple",
                                  "Advanced",
                                  "Complete",
                                  "Official",
                                  "Daily",
                                  "Weekly",
                                  "Local",
                                  "Global",
                                  "New",
                                  "Classic",
                                  "Modern",
                                  "Family",
                                  "Kids",
                                  "Pets",
                                  "Hiking",
                                  "Cycling",
                                  "Football",
                                  "Chess",
                                  "Poetry",
                                  "Language",
                                  "German",
                                  "French",
                                  "Caf\xC3\xA9",
                                  "\xC3\x9C"
                                  "bersicht",
                                  "R\xC3\xA9sum\xC3\xA9",
                                  "Stra\xC3\x9F"
                                  "e",
                                  "Pictures",
                                  "Lyrics",
                                  "Forecast"};

constexpr const char* kVerbs[] = {"install", "configure", "build", "fix",     "learn",
                                  "use",     "debug",     "write", "cook",    "repair",
                                  "choose",  "compare",   "clean", "migrate", "find"};

constexpr const char* kExtensions[] = {".html", ".htm", ".php", ".asp", ".shtml", ".aspx", ".pdf"};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kToken[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

struct CLink {
    std::string strName;
    std::string strURL;
    std::string strHost;
    std::int64_t tAdded = 0;
    std::int64_t tVisited = 0;
    std::int64_t tModified = 0;
};

std::string Lower(std::string str) {
    for (char& c : str) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return str;
}

std::string Brand(CRandom& rnd) {
    std::string str;
    for (int n = rnd.Between(2, 3); n > 0; --n) {
        str += rnd.Pick(kSyllables);
    }
    return str;
}

std::string Capitalised(std::string str) {
    if (!str.empty() && str[0] >= 'a' && str[0] <= 'z') {
        str[0] = static_cast<char>(str[0] - 'a' + 'A');
    }
    return str;
}

// Title-case words; now and then an entity kept undecoded, or a year.
std::string Title(CRandom& rnd, int nMin, int nMax) {
    std::string str = rnd.Pick(kWords);
    for (int n = rnd.Between(nMin, nMax) - 1; n > 0; --n) {
        str += rnd.PerMille(30) ? " &amp; " : " ";
        str += rnd.Pick(kWords);
    }
    if (rnd.PerMille(50)) {
        str += ' ' + std::to_string(rnd.Between(1995, 2023));
    }
    return str;
}

std::string Token(CRandom& rnd, int nLength) {
    std::string str;
    str.reserve(static_cast<std::size_t>(nLength));
    for (int i = 0; i < nLength; ++i) {
        str += kToken[rnd.Below(64)];
    }
    return str;
}

// A lower-case word for a URL, which keeps to ASCII.
std::string UrlWord(CRandom& rnd) {
    for (;;) {
        const std::string_view str = rnd.Pick(kWords);
        if (std::all_of(str.begin(), str.end(), [](char c) { return (c & 0x80) == 0; })) {
            return Lower(std::string(str));
        }
    }
}

std::string PathSegment(CRandom& rnd) {
    switch (rnd.Below(4)) {
        case 0:
            return std::to_string(rnd.Below(100000));
        case 1:
            return UrlWord(rnd) + '-' + UrlWord(rnd);
        default:
            return UrlWord(rnd);
    }
}

std::string MakeURL(CRandom& rnd, const std::string& strHost) {
    const auto nScheme = rnd.Below(100);
    std::string str = nScheme < 60 ? "http://" : (nScheme < 97 ? "https://" : "ftp://");
    str += strHost;
    const int nSegments = rnd.Between(0, 4);
    if (nSegments == 0) {
        if (rnd.PerMille(700)) {
            str += '/';
        }
    } else {
        for (int i = 0; i < nSegments; ++i) {
            str += '/';
            str += PathSegment(rnd);
        }
        const auto nEnd = rnd.Below(10);
        if (nEnd < 3) {
            str += rnd.Pick(kExtensions);
        } else if (nEnd < 6) {
            str += '/';
        }
    }
    if (rnd.PerMille(150)) {
        switch (rnd.Below(3)) {
            case 0:
                str += "?id=" + std::to_string(rnd.Below(1000000));
                break;
            case 1:
                str += "?q=" + Lower(rnd.Pick(kWords)) + '+' + Lower(rnd.Pick(kWords)) + "&lang=en";
                break;
            default:
                str += "?p=" + std::to_string(rnd.Below(500)) + "&sort=date";
                break;
        }
        // Tracking parameters make the few URLs of several hundred characters.
        if (rnd.PerMille(150)) {
            str += "&utm_source=newsletter&utm_medium=email&utm_campaign=" +
                   Token(rnd, rnd.Between(20, 600));
        }
    }
    if (rnd.PerMille(30)) {
        str += "#section-" + std::to_string(rnd.Between(1, 40));
    }
    return str;
}

// Names hold none of / \ : * ? " < > |, so that a Favorites file can carry the
// same name on either system.
std::string MakeName(CRandom& rnd, const std::string& strBrand) {
    const std::string strSite = Capitalised(strBrand);
    switch (rnd.Below(6)) {
        case 0:
            return strSite + " - " + Title(rnd, 1, 6);
        case 1:
            return Title(rnd, 1, 6) + " - " + strSite;
        case 2:
            return Title(rnd, 1, 8);
        case 3:
            return strSite;
        case 4:
            return Capitalised(rnd.Pick(kVerbs)) + " and " + rnd.Pick(kVerbs) + ' ' +
                   Lower(Title(rnd, 1, 3)) + " - " + strSite;
        default:
            return Title(rnd, 1, 3) + ", " + Title(rnd, 1, 3);
    }
}

CLink MakeLink(std::uint64_t nSeed, std::uint64_t nStream, std::uint64_t nIndex) {
    CRandom rnd(nSeed, nStream, nIndex);
    CLink link;
    const std::string strBrand = Brand(rnd);
    link.strHost = (rnd.PerMille(600) ? "www." : "") + strBrand + '.' + rnd.Pick(kTlds);
    link.strURL = MakeURL(rnd, link.strHost);
    link.strName = MakeName(rnd, strBrand);
    link.tAdded = rnd.Date();
    link.tModified = link.tAdded + static_cast<std::int64_t>(rnd.Below(86400 * 400));
    link.tVisited =
        rnd.PerMille(250) ? 0 : link.tAdded + static_cast<std::int64_t>(rnd.Below(86400 * 900));
    return link;
}

// A file written in large pieces; errors surface as exceptions.
class COutput {
public:
    explicit COutput(const fs::path& path) : m_path(path) {
        m_pFile = std::fopen(path.string().c_str(), "wb");
        if (m_pFile == nullptr) {
            throw std::runtime_error("cannot create " + path.string());
        }
    }
    ~COutput() {
        if (m_pFile != nullptr) {
            std::fclose(m_pFile);
        }
    }
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    COutput& operator<<(std::string_view str) {
        m_strBuffer += str;
        if (m_strBuffer.size() >= (1u << 20)) {
            Flush();
        }
        return *this;
    }
    COutput& operator<<(char c) {
        m_strBuffer += c;
        return *this;
    }
    COutput& operator<<(std::int64_t n) { return *this << std::string_view(std::to_string(n)); }
    void Spaces(int n) { m_strBuffer.append(static_cast<std::size_t>(n), ' '); }
    // Returns the number of bytes written.
    std::uint64_t Close() {
        Flush();
        const bool bOk = std::fclose(m_pFile) == 0;
        m_pFile = nullptr;
        if (!bOk) {
            throw std::runtime_error("cannot write " + m_path.string());
        }
        return m_nBytes;
    }

private:
    void Flush() {
        if (std::fwrite(m_strBuffer.data(), 1, m_strBuffer.size(), m_pFile) != m_strBuffer.size()) {
            throw std::runtime_error("cannot write " + m_path.string());
        }
        m_nBytes += m_strBuffer.size();
        m_strBuffer.clear();
    }

    fs::path m_path;
    std::FILE* m_pFile = nullptr;
    std::string m_strBuffer;
    std::uint64_t m_nBytes = 0;
};

// Folders, bookmark lines and the odd separator and description line, nested as
// Netscape Communicator and Firefox write them.
class CNetscapeWriter {
public:
    CNetscapeWriter(const fs::path& path, std::uint64_t nSeed)
        : m_out(path), m_tree(nSeed, STREAM_NETSCAPE_TREE, 0), m_nSeed(nSeed) {}

    CNetscapeStats Write(int nBookmarks) {
        m_out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n"
                 "<!-- This is an automatically generated file.\r\n"
                 "     It will be read and overwritten.\r\n"
                 "     DO NOT EDIT! -->\r\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
                 "<TITLE>Bookmarks</TITLE>\r\n"
                 "<H1>Bookmarks</H1>\r\n"
                 "\r\n"
                 "<DL><p>\r\n";
        for (int i = 0; i < nBookmarks; ++i) {
            const auto nStep = m_tree.Below(1000);
            if (nStep < 50 && m_nDepth < kMaxDepth) {
                OpenFolder();
                if (m_tree.PerMille(30)) {
                    CloseFolder();
                }
            } else if (nStep < 100 && m_nDepth > 0) {
                CloseFolder();
            }
            if (m_tree.PerMille(5)) {
                Indent();
                m_out << "<HR>\r\n";
            }
            Bookmark(MakeLink(m_nSeed, STREAM_NETSCAPE_LINK, static_cast<std::uint64_t>(i)));
            ++m_stats.nBookmarks;
        }
        while (m_nDepth > 0) {
            CloseFolder();
        }
        m_out << "</DL><p>\r\n";
        m_stats.nBytes = m_out.Close();
        return m_stats;
    }

private:
    void Indent() { m_out.Spaces(4 * (m_nDepth + 1)); }

    void OpenFolder() {
        const std::int64_t tAdded = m_tree.Date();
        Indent();
        m_out << "<DT><H3 " << (m_tree.PerMille(100) ? "FOLDED " : "") << "ADD_DATE=\"" << tAdded
              << "\" LAST_MODIFIED=\""
              << tAdded + static_cast<std::int64_t>(m_tree.Below(86400 * 300)) << '"';
        if (m_stats.nFolders == 0) {
            m_out << " PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\r\n";
        } else {
            if (m_tree.PerMille(333)) {
                m_out << " ID=\"rdf:#$" << Token(m_tree, 6) << '"';
            }
            m_out << '>' << Title(m_tree, 1, 3) << "</H3>\r\n";
        }
        Description();
        Indent();
        m_out << "<DL><p>\r\n";
        ++m_nDepth;
        ++m_stats.nFolders;
    }

    void CloseFolder() {
        --m_nDepth;
        Indent();
        m_out << "</DL><p>\r\n";
    }

    void Bookmark(const CLink& link) {
        Indent();
        m_out << "<DT><A HREF=\"" << link.strURL << "\" ADD_DATE=\"" << link.tAdded
              << "\" LAST_VISIT=\"" << link.tVisited << "\" LAST_MODIFIED=\"" << link.tModified
              << '"';
        // Icon data, as recent browsers embed it, makes the longest lines.
        if (m_tree.PerMille(20)) {
            m_out << " ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQ";
            for (int n = m_tree.Between(80, 300); n > 0; --n) {
                const char quad[4] = {kBase64[m_tree.Below(64)], kBase64[m_tree.Below(64)],
                                      kBase64[m_tree.Below(64)], kBase64[m_tree.Below(64)]};
                m_out << std::string_view(quad, 4);
            }
            m_out << "AAAAAElFTkSuQmCC\"";
        }
        // What current browsers add: tags, a keyword, the page's character set.
        if (m_tree.PerMille(333)) {
            m_out << " TAGS=\"" << m_tree.Pick(kWords) << ',' << m_tree.Pick(kWords) << '"';
            if (m_tree.PerMille(300)) {
                m_out << " SHORTCUTURL=\"" << Token(m_tree, 4) << '"';
            }
            m_out << " LAST_CHARSET=\"UTF-8\"";
        }
        m_out << '>' << link.strName << "</A>\r\n";
        Description();
    }

    // A note on a third of the entries, some of them over two lines.
    void Description() {
        if (m_tree.PerMille(333)) {
            Indent();
            m_out << "<DD>" << Title(m_tree, 3, 12);
            if (m_tree.PerMille(100)) {
                m_out << "\r\n" << Title(m_tree, 3, 12);
            }
            m_out << "\r\n";
        }
    }

    COutput m_out;
    CRandom m_tree;
    std::uint64_t m_nSeed;
    int m_nDepth = 0;
    CNetscapeStats m_stats;
};

void WriteFile(const fs::path& path, std::string_view strBytes) {
    std::FILE* pFile = std::fopen(path.string().c_str(), "wb");
    if (pFile == nullptr) {
        throw std::runtime_error("cannot create " + path.string());
    }
    const bool bOk = std::fwrite(strBytes.data(), 1, strBytes.size(), pFile) == strBytes.size();
    if (std::fclose(pFile) != 0 || !bOk) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// Appends " (2)", " (3)" ... as Windows does when a name is taken in the directory.
std::string UniqueName(std::set<std::string>& taken, const std::string& strName) {
    std::string str = strName;
    for (int n = 2; !taken.insert(str).second; ++n) {
        str = strName + " (" + std::to_string(n) + ')';
    }
    return str;
}

// Shortcut layouts that Internet Explorer writes, each with the URL line right
// after the section line, so that every file holds a bookmark.
std::string ShortcutText(CRandom& rnd, const CLink& link) {
    const std::string strURLLine = "URL=" + link.strURL + "\r\n";
    switch (rnd.Below(4)) {
        case 0:
            return "[InternetShortcut]\r\n" + strURLLine;
        case 1:
            return "[DEFAULT]\r\nBASEURL=" + link.strURL + "\r\n[InternetShortcut]\r\n" +
                   strURLLine + "Modified=" + Token(rnd, 18) + "\r\n";
        case 2:
            return "[InternetShortcut]\r\n" + strURLLine +
                   "IDList=\r\nHotKey=0\r\nIconFile=http://" + link.strHost +
                   "/favicon.ico\r\nIconIndex=1\r\n";
        default:
            return "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"
                   "[InternetShortcut]\r\n" +
                   strURLLine + "IDList=\r\n";
    }
}

}  // namespace

CNetscapeStats WriteNetscapeFile(const fs::path& path, const CStoreShape& shape) {
    CNetscapeWriter writer(path, shape.nSeed);
    return writer.Write(std::max(shape.nNetscape, 0));
}

CFavoritesStats WriteFavoritesTree(const fs::path& dir, const CStoreShape& shape) {
    fs::create_directories(dir);
    if (!fs::is_empty(dir)) {
        throw std::runtime_error(dir.string() + " is not empty");
    }
    const int nFiles = std::max(shape.nFavorites, 0);
    const int nNetscape = std::max(shape.nNetscape, 0);
    const double dShared = std::clamp(shape.dShared, 0.0, 1.0);
    const int nShared = std::min(static_cast<int>(std::lround(dShared * nFiles)), nNetscape);

    CFavoritesStats stats;
    CRandom tree(shape.nSeed, STREAM_FAVORITES_TREE, 0);

    // About twenty entries per directory, nested no deeper than the Netscape tree.
    struct CDir {
        fs::path path;
        int nDepth;
        std::set<std::string> names;
    };
    std::vector<CDir> dirs;
    dirs.push_back({dir, 0, {}});
    for (int d = 1; d <= nFiles / 20; ++d) {
        std::size_t nParent = tree.Below(dirs.size());
        while (dirs[nParent].nDepth >= kMaxDepth) {
            nParent = tree.Below(nParent);
        }
        const std::string strName = UniqueName(dirs[nParent].names, Title(tree, 1, 3));
        CDir sub{dirs[nParent].path / strName, dirs[nParent].nDepth + 1, {}};
        fs::create_directory(sub.path);
        if (tree.PerMille(50)) {
            WriteFile(sub.path / "desktop.ini",
                      "[.ShellClassInfo]\r\nIconResource=C:\\Windows\\System32\\shell32.dll,4\r\n");
            sub.names.insert("desktop.ini");
            ++stats.nOtherFiles;
        }
        dirs.push_back(std::move(sub));
        ++stats.nDirectories;
    }

    for (int f = 0; f < nFiles; ++f) {
        CDir& target = tree.PerMille(150) ? dirs[0] : dirs[tree.Below(dirs.size())];
        CLink link;
        if (f < nShared) {
            // Spread the shared bookmarks evenly over the Netscape file.
            const auto nIndex = static_cast<std::uint64_t>(f) *
                                static_cast<std::uint64_t>(nNetscape) /
                                static_cast<std::uint64_t>(nShared);
            link = MakeLink(shape.nSeed, STREAM_NETSCAPE_LINK, nIndex);
            const auto nVariant = tree.Below(10);
            if (nVariant == 0) {
                // The host in capitals: same length, equal without regard to case.
                const std::size_t nHost = link.strURL.find(link.strHost);
                for (std::size_t i = 0; i < link.strHost.size(); ++i) {
                    char& c = link.strURL[nHost + i];
                    if (c >= 'a' && c <= 'z') {
                        c = static_cast<char>(c - 'a' + 'A');
                    }
                }
                ++stats.nCaseVariants;
            } else if (nVariant == 1) {
                if (link.strURL.back() == '/') {
                    link.strURL.pop_back();
                } else {
                    link.strURL += '/';
                }
                ++stats.nSlashVariants;
            }
            ++stats.nShared;
        } else {
            link = MakeLink(shape.nSeed, STREAM_FAVORITES_LINK, static_cast<std::uint64_t>(f));
        }
        const std::string strText = ShortcutText(tree, link);
        WriteFile(target.path / (UniqueName(target.names, link.strName) + ".url"), strText);
        stats.nBytes += strText.size();
        ++stats.nFiles;
    }
    return stats;
}
