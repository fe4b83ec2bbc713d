// tavrel-cli: the catalogue, Save and the HTML export without a window.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "discovery/CommandLine.h"
#include "platform/LocalTime.h"
#include "platform/Path.h"

namespace {

constexpr const char* kUsage =
    "usage: tavrel-cli list [STORES] [PATTERN]\n"
    "       tavrel-cli save [STORES] [--add-to-iexplorer] [--add-to-netscape]\n"
    "       tavrel-cli export-html [STORES] [--by-folder] [--force] FILE [PATTERN]\n"
    "       tavrel-cli remove [STORES] [--add-to-iexplorer] [--add-to-netscape] PATTERN\n"
    "       tavrel-cli rename [STORES] PATTERN NEWNAME\n"
    "STORES: [--favorites DIR] [--netscape FILE] [-NS FILE] [-log]\n"
    "  list         prints the bookmarks of both stores, newest first: Name, Folder,\n"
    "               Date, B and URL separated by tabs\n"
    "  save         writes both stores anew, exporting what only one browser holds\n"
    "               to the other when asked to\n"
    "  export-html  writes the bookmarks that list would print as a bookmark file\n"
    "  remove       removes the bookmarks that list would print, then saves\n"
    "  rename       renames the one bookmark that list would print, then saves\n"
    "Without --favorites and --netscape the stores are found as the window finds them.\n";

struct CCliOptions {
    std::string strCommand;
    bool bFavorites = false;
    std::string strFavorites;
    bool bNetscape = false;
    std::string strNetscape;
    std::vector<std::string> positional;
    bool bAddToExplorer = false;
    bool bAddToNetscape = false;
    bool bByFolder = false;
    bool bForce = false;
};

// False when the arguments are wrong.
bool ParseArguments(int argc, char** argv, CCliOptions& options) {
    options.strCommand = argv[1];
    const bool bSave = options.strCommand == "save";
    const bool bExport = options.strCommand == "export-html";
    const bool bRemove = options.strCommand == "remove";
    const bool bRename = options.strCommand == "rename";
    if (!bSave && !bExport && !bRemove && !bRename && options.strCommand != "list") {
        return false;
    }
    const bool bBoxes = bSave || bRemove;
    bool bOptionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string strArg = argv[i];
        const bool bOption = !bOptionsEnded && strArg.size() > 1 && strArg[0] == '-';
        if (!bOptionsEnded && strArg == "--") {
            bOptionsEnded = true;
        } else if (bOption && (strArg == "--favorites" || strArg == "--netscape")) {
            if (i + 1 >= argc) {
                return false;
            }
            const bool bFav = strArg == "--favorites";
            (bFav ? options.bFavorites : options.bNetscape) = true;
            (bFav ? options.strFavorites : options.strNetscape) = argv[++i];
        } else if (!bOptionsEnded && IsSwitch(strArg, "NS")) {
            ++i;  // its value is read through GetCommandLineOption
        } else if (!bOptionsEnded && IsSwitch(strArg, "log")) {
            continue;
        } else if (bOption && bBoxes && strArg == "--add-to-iexplorer") {
            options.bAddToExplorer = true;
        } else if (bOption && bBoxes && strArg == "--add-to-netscape") {
            options.bAddToNetscape = true;
        } else if (bOption && bExport && strArg == "--by-folder") {
            options.bByFolder = true;
        } else if (bOption && bExport && strArg == "--force") {
            options.bForce = true;
        } else if (bOption) {
            return false;
        } else {
            options.positional.push_back(strArg);
        }
    }
    const std::size_t nMin = bRename ? 2 : (bExport || bRemove ? 1 : 0);
    const std::size_t nMax = bSave ? 0 : (bExport || bRename ? 2 : 1);
    return options.positional.size() >= nMin && options.positional.size() <= nMax;
}

// The terminal front end: messages go to standard error, the boxes are the
// command's flags, and the selection is what the command chose.
class CCliView : public CTVLDlgBase {
public:
    explicit CCliView(const CCliOptions& options) : m_options(options) {
        std::string strIgnored;
        m_bLog = GetCommandLineOption("log", strIgnored, nullptr);
        GetCommandLineOption("NS", m_strNSOption, nullptr);
    }

    bool m_bError = false;
    std::vector<CBookmark*> m_selected;

    // Stores named on the command line replace discovery; a store not named
    // then counts as missing.
    void DetectStores() override {
        if (!m_options.bFavorites && !m_options.bNetscape) {
            CTVLDlgBase::DetectStores();
            return;
        }
        m_bMSIE = m_options.bFavorites;
        m_strFavorites = m_options.strFavorites;
        // As discovery does: one trailing separator is dropped.
        if (m_strFavorites.size() > 1 && m_strFavorites.back() == kPathSep) {
            m_strFavorites.pop_back();
        }
        m_bNetscape = m_options.bNetscape;
        m_bNSRegistry = false;
        m_strNSFile = m_options.strNetscape;
    }

    // Asks on the terminal; without one, takes the first profile, as the
    // window's choice preselects it.
    bool ChooseProfile(const std::vector<std::string>& users, int& nChosen) override {
        nChosen = 0;
        if (!isatty(STDIN_FILENO)) {
            return true;
        }
        for (std::size_t i = 0; i < users.size(); ++i) {
            std::fprintf(stderr, "%zu. %s\n", i + 1, users[i].c_str());
        }
        for (;;) {
            std::fprintf(stderr, "Select a user name (1-%zu, Enter to skip): ", users.size());
            std::string strLine;
            if (!std::getline(std::cin, strLine) || strLine.empty()) {
                return false;
            }
            char* pEnd = nullptr;
            const long n = std::strtol(strLine.c_str(), &pEnd, 10);
            if (*pEnd == '\0' && n >= 1 && n <= static_cast<long>(users.size())) {
                nChosen = static_cast<int>(n - 1);
                return true;
            }
        }
    }

    void ShowMessage(const std::string& strText, EMessageKind kind) override {
        std::fprintf(stderr, "%s\n", strText.c_str());
        m_bError = m_bError || kind == MSG_ERROR;
    }
    std::vector<CBookmark*> GetSelectedRows() const override { return m_selected; }
    CExportChoice GetExportChoice() const override {
        return {m_options.bAddToExplorer, m_options.bAddToNetscape};
    }

    // The rows of the list for a pattern, in the list's order.
    std::vector<CBookmark*> Rows(const std::string& strPattern, int& nTotal) {
        SetFilter(strPattern);
        std::vector<CBookmark*> rows;
        nTotal = SortedRows(rows);
        return rows;
    }

private:
    const CCliOptions& m_options;
};

// The date column's text. Rows come in date order mostly, so the text of
// the last local day is kept together with the seconds it spans.
class CDateText {
public:
    const std::string& Of(CTime t) {
        if (t < m_tFrom || t > m_tTo) {
            m_str = CTVLDlgBase::FormatDate(t, "%y-%m-%d");
            m_tFrom = m_tTo = t;
            std::tm tmAt{};
            if (!m_str.empty() && LocalTime(t, tmAt)) {
                // The day from 00:00:00 to 23:59:59 holds t only where the
                // clock ran without a jump that day; otherwise t stays alone.
                const CTime tFrom = t - (tmAt.tm_hour * 3600 + tmAt.tm_min * 60 + tmAt.tm_sec);
                std::tm tmFrom{};
                std::tm tmTo{};
                if (LocalTime(tFrom, tmFrom) && LocalTime(tFrom + 86399, tmTo) &&
                    tmFrom.tm_yday == tmAt.tm_yday && tmFrom.tm_year == tmAt.tm_year &&
                    tmFrom.tm_hour == 0 && tmFrom.tm_min == 0 && tmFrom.tm_sec == 0 &&
                    tmTo.tm_yday == tmAt.tm_yday && tmTo.tm_hour == 23 && tmTo.tm_min == 59 &&
                    tmTo.tm_sec == 59) {
                    m_tFrom = tFrom;
                    m_tTo = tFrom + 86399;
                }
            }
        }
        return m_str;
    }

private:
    CTime m_tFrom = 1;
    CTime m_tTo = 0;
    std::string m_str;
};

int RunList(CCliView& view, const CCliOptions& options) {
    int nTotal = 0;
    const std::vector<CBookmark*> rows =
        view.Rows(options.positional.empty() ? "" : options.positional[0], nTotal);
    CDateText date;
    std::string strOut;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i + 16 < rows.size()) {
            PrefetchRecord(rows[i + 16]);
        }
        if (i + 8 < rows.size()) {
            rows[i + 8]->PrefetchTexts();
        }
        const CBookmark* pRow = rows[i];
        strOut += pRow->m_strName;
        strOut += '\t';
        if (pRow->m_pFolder != nullptr) {
            strOut += pRow->m_pFolder->m_strName;
        }
        strOut += '\t';
        strOut += date.Of(pRow->m_tAdded);
        strOut += '\t';
        strOut += CTVLDlgBase::BrowserText(*pRow);
        strOut += '\t';
        strOut += pRow->m_strURL;
        strOut += '\n';
        if (strOut.size() >= (1u << 16)) {
            std::fwrite(strOut.data(), 1, strOut.size(), stdout);
            strOut.clear();
        }
    }
    std::fwrite(strOut.data(), 1, strOut.size(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "%zu shown, %d total\n", rows.size(), nTotal);
    return 0;
}

int RunExport(CCliView& view, const CCliOptions& options) {
    const std::string& strFile = options.positional[0];
    if (!options.bForce && access(strFile.c_str(), F_OK) == 0) {
        std::fprintf(stderr, "tavrel-cli: \"%s\" exists; --force replaces it\n", strFile.c_str());
        return 1;
    }
    if (options.bByFolder) {
        view.ClickColumn(COL_FOLDER);
    }
    int nTotal = 0;
    view.m_selected = view.Rows(options.positional.size() > 1 ? options.positional[1] : "", nTotal);
    view.CreateHtmlFile(strFile);
    return view.m_bError ? 1 : 0;
}

// Marks what list would print as removed, as the window's Remove does, and saves.
int RunRemove(CCliView& view, const CCliOptions& options) {
    int nTotal = 0;
    for (CBookmark* pRow : view.Rows(options.positional[0], nTotal)) {
        view.RemoveRow(*pRow);
    }
    view.SaveChanges();
    return view.m_bError ? 1 : 0;
}

// Renames the one bookmark that list would print and saves; with none or
// several, nothing changes.
int RunRename(CCliView& view, const CCliOptions& options) {
    const std::string& strPattern = options.positional[0];
    const std::string& strName = options.positional[1];
    int nTotal = 0;
    const std::vector<CBookmark*> rows = view.Rows(strPattern, nTotal);
    if (strName.empty()) {
        std::fprintf(stderr, "tavrel-cli: the new name is empty; nothing was changed\n");
        return 1;
    }
    if (rows.size() != 1) {
        std::fprintf(stderr,
                     "tavrel-cli: %zu bookmarks match \"%s\"; one must; nothing was changed\n",
                     rows.size(), strPattern.c_str());
        return 1;
    }
    view.RenameBookmark(*rows[0], strName);
    view.SaveChanges();
    return view.m_bError ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    SetProcessArguments(argc, argv);
    CCliOptions options;
    if (argc < 2 || !ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The view is left to the end of the process: freeing a million records
    // one by one would take as long as reading them.
    static CCliView* s_pView = new CCliView(options);
    CCliView& view = *s_pView;
    view.ImportBookmarks();
    if (options.strCommand == "list") {
        return RunList(view, options);
    }
    if (options.strCommand == "save") {
        view.SaveChanges();
        return view.m_bError ? 1 : 0;
    }
    if (options.strCommand == "remove") {
        return RunRemove(view, options);
    }
    if (options.strCommand == "rename") {
        return RunRename(view, options);
    }
    return RunExport(view, options);
}
