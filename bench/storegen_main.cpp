// tavrel-storegen: writes the synthetic stores of the benchmarks for runs by hand.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "bench/StoreGenerator.h"

namespace {

constexpr const char* kUsage =
    "usage: tavrel-storegen [--netscape FILE] [--favorites DIR] [--ns N] [--ie M]\n"
    "                       [--shared F] [--seed S]\n"
    "  Writes a Netscape bookmark file of N bookmarks and a Favorites tree of M\n"
    "  shortcut files (DIR must be empty or absent). F (0 to 1) is the fraction of\n"
    "  the shortcut files whose bookmark the Netscape file holds too. The same\n"
    "  arguments always give the same bytes.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseCount(const char* psz, int& n) {
    errno = 0;
    char* pEnd = nullptr;
    const long nValue = std::strtol(psz, &pEnd, 10);
    if (errno != 0 || pEnd == psz || *pEnd != '\0' || nValue < 0 || nValue > 100'000'000) {
        return false;
    }
    n = static_cast<int>(nValue);
    return true;
}

bool ParseFraction(const char* psz, double& d) {
    char* pEnd = nullptr;
    d = std::strtod(psz, &pEnd);
    return pEnd != psz && *pEnd == '\0' && d >= 0.0 && d <= 1.0;
}

bool ParseSeed(const char* psz, std::uint64_t& n) {
    errno = 0;
    char* pEnd = nullptr;
    n = std::strtoull(psz, &pEnd, 0);
    return errno == 0 && pEnd != psz && *pEnd == '\0' && psz[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
    CStoreShape shape;
    std::string strNetscape;
    std::string strFavorites;
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        const char* pszValue = argv[++i];
        bool bOk = true;
        if (strArg == "--netscape") {
            strNetscape = pszValue;
        } else if (strArg == "--favorites") {
            strFavorites = pszValue;
        } else if (strArg == "--ns") {
            bOk = ParseCount(pszValue, shape.nNetscape);
        } else if (strArg == "--ie") {
            bOk = ParseCount(pszValue, shape.nFavorites);
        } else if (strArg == "--shared") {
            bOk = ParseFraction(pszValue, shape.dShared);
        } else if (strArg == "--seed") {
            bOk = ParseSeed(pszValue, shape.nSeed);
        } else {
            bOk = false;
        }
        if (!bOk) {
            return Usage();
        }
    }
    if (strNetscape.empty() && strFavorites.empty()) {
        return Usage();
    }
    try {
        if (!strNetscape.empty()) {
            const CNetscapeStats ns = WriteNetscapeFile(strNetscape, shape);
            std::printf("%s: %d bookmarks in %d folders, %llu bytes\n", strNetscape.c_str(),
                        ns.nBookmarks, ns.nFolders, static_cast<unsigned long long>(ns.nBytes));
        }
        if (!strFavorites.empty()) {
            const CFavoritesStats ie = WriteFavoritesTree(strFavorites, shape);
            std::printf(
                "%s: %d shortcut files in %d directories (and %d other files), %llu bytes; "
                "%d also in the Netscape file (%d differ in URL case, %d by a trailing slash)\n",
                strFavorites.c_str(), ie.nFiles, ie.nDirectories, ie.nOtherFiles,
                static_cast<unsigned long long>(ie.nBytes), ie.nShared, ie.nCaseVariants,
                ie.nSlashVariants);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrel-storegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
