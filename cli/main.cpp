// tavrel-cli: the catalogue without a window.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "discovery/CommandLine.h"
#include "platform/Path.h"

namespace {

constexpr const char* kUsage =
    "usage: tavrel-cli list [--favorites DIR] [--netscape FILE] [-NS FILE] [-log] [PATTERN]\n"
    "  Lists the bookmarks of both stores, newest first, one per line:\n"
    "  Name, Folder, Date, B and URL separated by tabs.\n"
    "  Without --favorites and --netscape the stores are found as the window finds them.\n";

// The terminal front end has no export boxes to hide: a missing store only
// leaves its bookmarks out.
class CCliView : public CTVLDlgBase {
public:
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
};

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

struct CListOptions {
    bool bFavorites = false;
    std::string strFavorites;
    bool bNetscape = false;
    std::string strNetscape;
    std::string strPattern;
};

// False when the arguments are wrong.
bool ParseList(int argc, char** argv, CListOptions& options) {
    bool bPattern = false;
    bool bOptionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (!bOptionsEnded && strArg == "--") {
            bOptionsEnded = true;
        } else if (!bOptionsEnded && (strArg == "--favorites" || strArg == "--netscape")) {
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
        } else if (!bOptionsEnded && strArg.size() > 1 && strArg[0] == '-') {
            return false;
        } else if (!bPattern) {
            options.strPattern = strArg;
            bPattern = true;
        } else {
            return false;
        }
    }
    return true;
}

// Only the stores named on the command line; the others count as missing.
void LoadNamedStores(CCliView& view, const CListOptions& options) {
    if (options.bFavorites) {
        view.m_bMSIE = true;
        view.m_strFavorites = options.strFavorites;
        // As discovery does: one trailing separator is dropped.
        if (view.m_strFavorites.size() > 1 && view.m_strFavorites.back() == kPathSep) {
            view.m_strFavorites.pop_back();
        }
    }
    if (options.bNetscape) {
        view.m_bNetscape = true;
        view.m_strNSFile = options.strNetscape;
    }
    view.ReadStores();
}

// Without named stores, discovery finds them as the window does.
void LoadStores(CCliView& view, const CListOptions& options) {
    if (options.bFavorites || options.bNetscape) {
        LoadNamedStores(view, options);
        return;
    }
    std::string strIgnored;
    view.m_bLog = GetCommandLineOption("log", strIgnored, nullptr);
    GetCommandLineOption("NS", view.m_strNSOption, nullptr);
    view.ImportBookmarks();
}

int RunList(const CListOptions& options) {
    CCliView view;
    LoadStores(view, options);
    view.SetFilter(options.strPattern);
    std::vector<CBookmark*> rows;
    const int nTotal = view.CollectRows(rows);
    view.SortRowPointers(rows);

    std::string strOut;
    for (const CBookmark* pRow : rows) {
        for (int nCol = 0; nCol < COL_COUNT; ++nCol) {
            strOut += CTVLDlgBase::GetColumnText(*pRow, nCol);
            strOut += nCol + 1 < COL_COUNT ? '\t' : '\n';
        }
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

}  // namespace

int main(int argc, char** argv) {
    SetProcessArguments(argc, argv);
    if (argc < 2) {
        return Usage();
    }
    if (std::strcmp(argv[1], "list") == 0) {
        CListOptions options;
        return ParseList(argc, argv, options) ? RunList(options) : Usage();
    }
    return Usage();
}
