// Synthetic bookmark stores for the benchmarks and for runs by hand: a Netscape
// bookmark file and a Favorites tree of Internet-shortcut files. The output is
// a pure function of the shape: the same bytes on every run and every machine.
#pragma once

#include <cstdint>
#include <filesystem>

constexpr std::uint64_t kDefaultStoreSeed = 0x7A17E1B00C5EED01ull;

struct CStoreShape {
    int nNetscape = 0;   // bookmarks in the Netscape file
    int nFavorites = 0;  // shortcut files in the Favorites tree
    // Fraction of the shortcut files whose bookmark the Netscape file holds too
    // (same name; same URL, or one differing in letter case or a trailing slash).
    double dShared = 0.0;
    std::uint64_t nSeed = kDefaultStoreSeed;
};

struct CNetscapeStats {
    int nBookmarks = 0;
    int nFolders = 0;
    std::uint64_t nBytes = 0;
};

struct CFavoritesStats {
    int nFiles = 0;          // shortcut files, each holding one bookmark
    int nDirectories = 0;    // below the top directory
    int nOtherFiles = 0;     // desktop.ini files, which hold no bookmark
    int nShared = 0;         // bookmarks that the Netscape file holds too
    int nCaseVariants = 0;   // of those, URLs differing in letter case
    int nSlashVariants = 0;  // of those, URLs differing by one trailing slash
    std::uint64_t nBytes = 0;
};

// Both throw std::runtime_error when a file or directory cannot be written.
// The Netscape file depends only on nNetscape and nSeed.
CNetscapeStats WriteNetscapeFile(const std::filesystem::path& path, const CStoreShape& shape);
// Creates the directory when needed; it should be empty.
CFavoritesStats WriteFavoritesTree(const std::filesystem::path& dir, const CStoreShape& shape);
