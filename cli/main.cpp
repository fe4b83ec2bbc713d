// tavrel-cli: the catalogue without a window.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/TVLDlgBase.h"
#include "platform/Path.h"

namespace {

constexpr const char* kUsage =
    "usage: tavrel-cli list [--favorites DIR] [--netscape FILE] [PATTERN]\n"
    "  Lists the bookmarks of both stores, newest first, one per line:\n"
    "  Name, Folder, Date, B and URL separated by tabs.\n";

// The terminal front end has no export boxes to hide: a missing store only
// leaves its bookmarks out.
class CCliView : public CTVLDlgBase {};

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

int RunList(const CListOptions& options) {
    CCliView view;
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
    view.ReadFavorites();
    view.ReadNetscapeFile();
    view.MergeDuplicates();

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
    if (argc < 2) {
        return Usage();
    }
    if (std::strcmp(argv[1], "list") == 0) {
        CListOptions options;
        return ParseList(argc, argv, options) ? RunList(options) : Usage();
    }
    return Usage();
}
