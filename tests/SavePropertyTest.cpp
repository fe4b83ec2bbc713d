// Random removals and renames through tavrel-cli on generated stores: each one
// changes the rows it chose and their own shortcut files, rewrites the
// Netscape file after a backup, and leaves every other row and file as it was.
#include "tests/SaveSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kIdentities = 40;
constexpr int kOperations = 8;

// How often a bookmark is held: once in one store, in both, or twice.
enum EShape { FAV, NS, BOTH, FAV_TWICE, NS_TWICE, FAV_TWICE_NS, FAV_NS_TWICE, SHAPE_COUNT };

// The browser column of the rows of each shape, sorted.
const std::vector<std::string> kShapeRows[SHAPE_COUNT] = {
    {"IE"}, {"NS"}, {"**"}, {"IE", "IE"}, {"NS", "NS"}, {"**", "IE"}, {"**", "NS"},
};

// A shortcut file of the generated Favorites, as the test expects it on disk.
struct CShortcutFile {
    std::string strDir;  // below the store directory
    std::string strTitle, strExtension;
    std::string strURL;
    std::string strFolder;  // the folder column of its row
    std::string Path() const { return strDir + "/" + strTitle + strExtension; }
};

std::vector<std::string> Fields(const std::string& strRow) {
    std::vector<std::string> fields;
    for (std::size_t i = 0, n; i <= strRow.size(); i = n + 1) {
        n = strRow.find('\t', i);
        n = n == std::string::npos ? strRow.size() : n;
        fields.push_back(strRow.substr(i, n - i));
    }
    fields.resize(std::max<std::size_t>(fields.size(), COL_COUNT));
    return fields;
}

// "tNNN.example": what a pattern needs to find the bookmark NNN by its URL.
std::string Token(const std::string& strRow) {
    const std::string strURL = Fields(strRow)[4];
    return strURL.substr(7, strURL.find(".example") + 8 - 7);
}

std::string Folded(std::string str) {
    for (char& c : str) {
        c = FoldUpper(c);
    }
    return str;
}

bool AllDigits(const std::string& str) {
    return !str.empty() && str.find_first_not_of("0123456789") == std::string::npos;
}

// Both stores of one seed in a sub-directory of a temporary directory, so that
// the output files of the runs stay out of what is compared.
class CStores {
public:
    explicit CStores(unsigned nSeed) : m_rng(nSeed) { Generate(); }

private:
    CTempDir m_dir;  // first: m_root is below it

public:
    std::vector<CShortcutFile> m_files;
    std::mt19937 m_rng;
    const fs::path m_root = m_dir.Path() / "stores";

    enum EStores { BOTH_STORES, FAVORITES_ONLY, NETSCAPE_ONLY };
    CRun Cli(std::vector<std::string> args, EStores stores = BOTH_STORES) const {
        std::vector<std::string> named;
        if (stores != NETSCAPE_ONLY) {
            named.insert(named.end(), {"--favorites", m_dir / "stores/Favorites"});
        }
        if (stores != FAVORITES_ONLY) {
            named.insert(named.end(), {"--netscape", m_dir / "stores/bookmark.htm"});
        }
        args.insert(args.begin() + 1, named.begin(), named.end());
        return RunCli(m_dir, args);
    }
    // The rows list prints for a pattern, sorted.
    std::vector<std::string> List(const std::string& strPattern,
                                  EStores stores = BOTH_STORES) const {
        const CRun run = Cli({"list", "--", strPattern}, stores);
        EXPECT_EQ(run.nStatus, 0) << run.strErr;
        std::vector<std::string> rows = run.OutLines();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    std::map<std::string, std::string> Files() const { return Snapshot(m_root); }

    // The shortcut file of a row held by the Favorites: the one with its URL
    // in its folder.
    std::vector<CShortcutFile>::iterator FileOf(const std::string& strRow) {
        const std::vector<std::string> fields = Fields(strRow);
        auto match = [&](const CShortcutFile& f) {
            return f.strURL == fields[4] && f.strFolder == fields[1];
        };
        EXPECT_EQ(std::count_if(m_files.begin(), m_files.end(), match), 1) << strRow;
        return std::find_if(m_files.begin(), m_files.end(), match);
    }

private:
    void Generate() {
        // Directories below the Favorites and the folder names they show.
        static const std::pair<const char*, const char*> kFavoritesDirs[] = {
            {"", ""},
            {"Work", "Work"},
            {"Work.2000", "Work"},
            {"Mail", "Mail"},
            {"Mail/Old.Box", "Old"}};
        static const char* const kNetscapeFolders[] = {"", "Work", "News", "Mail"};
#ifdef _WIN32
        // Windows file names hold no quotation marks.
        static const char* const kQuoted = "say 'hi' ";
#else
        static const char* const kQuoted = "say \"hi\" ";
#endif
        static const char* const kNames[] = {
            "news", "Mail ", "Fish & Chips ", "v1.2 notes ", "\xC3\xA9t\xC3\xA9 ", kQuoted};
        static const char* const kExtensions[] = {".url", ".url", ".URL", ".Url"};
        // After each shape once, mostly bookmarks held once in a store.
        static const EShape kLater[] = {FAV,      FAV,          FAV,         NS,   NS,
                                        BOTH,     BOTH,         BOTH,        BOTH, FAV_TWICE,
                                        NS_TWICE, FAV_TWICE_NS, FAV_NS_TWICE};
        const CTime tNow = std::time(nullptr);
        std::vector<CEntry> netscape;
        for (int i = 0; i < kIdentities; ++i) {
            const EShape shape =
                i < SHAPE_COUNT ? static_cast<EShape>(i) : kLater[m_rng() % std::size(kLater)];
            const std::string strNum = std::to_string(i);
            const std::string strName = kNames[m_rng() % std::size(kNames)] + strNum;
            const std::string strURL = "http://t" + strNum + ".example/";
            const bool bTwice = shape == FAV_TWICE || shape == NS_TWICE || shape == FAV_TWICE_NS ||
                                shape == FAV_NS_TWICE;
            const int nFavorites = shape == FAV || shape == BOTH || shape == FAV_NS_TWICE ? 1
                                   : shape == FAV_TWICE || shape == FAV_TWICE_NS          ? 2
                                                                                          : 0;
            const int nNetscape = shape == NS || shape == BOTH || shape == FAV_TWICE_NS ? 1
                                  : shape == NS_TWICE || shape == FAV_NS_TWICE          ? 2
                                                                                        : 0;
            // A bookmark held twice has each copy alone in a folder whose name
            // no other row holds, so that a pattern can find each copy.
            const std::string strTwice = "Twice-" + strNum + "-";
            for (int n = 0; n < nFavorites; ++n) {
                CShortcutFile file;
                const auto& dir = kFavoritesDirs[m_rng() % std::size(kFavoritesDirs)];
                file.strDir = std::string("Favorites/") + dir.first;
                file.strFolder = dir.second;
                if (bTwice) {
                    file.strFolder = strTwice + (n == 0 ? "A" : "B");
                    file.strDir = "Favorites/" + file.strFolder + (n == 0 ? "" : ".old");
                }
                if (file.strDir.ends_with('/')) {
                    file.strDir.pop_back();
                }
                file.strTitle = strName;
                file.strExtension = kExtensions[m_rng() % std::size(kExtensions)];
                file.strURL = strURL;
                m_dir.Write("stores/" + file.Path(), Shortcut(strURL));
                m_files.push_back(file);
            }
            // The Netscape copies may have the name in other letter case than
            // the shortcut files.
            const std::string strNSName =
                nFavorites > 0 && m_rng() % 2 == 0 ? Folded(strName) : strName;
            for (int n = 0; n < nNetscape; ++n) {
                CEntry entry;
                // Two copies of a bookmark that the Favorites hold too are alike
                // in everything, so that the row of the one left over is the same
                // whichever the merge joins.
                const std::string strFolder =
                    bTwice ? strTwice + (n == 0 || nFavorites > 0 ? "C" : "D")
                           : kNetscapeFolders[m_rng() % std::size(kNetscapeFolders)];
                if (!strFolder.empty()) {
                    entry.folders.push_back(strFolder);
                }
                entry.strName = strNSName;
                entry.strURL = strURL;
                // A copy that is joined with a shortcut file has the file's day,
                // so that the row's date is the same whichever copy it shows.
                entry.tDates[0] = nFavorites > 0 ? tNow : 900'000'000 + m_rng() % 100'000'000;
                entry.tDates[1] = entry.tDates[2] = 0;
                netscape.push_back(entry);
            }
        }
        std::shuffle(netscape.begin(), netscape.end(), m_rng);
        fs::create_directories(m_root / "Favorites");
        m_dir.Write("stores/bookmark.htm", NetscapeText(netscape));
    }
};

// The pattern that finds exactly this row: its URL's token, or, for a copy
// of a bookmark held twice, its folder's name.
std::string PatternFor(const CStores& stores, const std::string& strRow) {
    const std::string strToken = Token(strRow);
    if (stores.List(strToken) == std::vector<std::string>{strRow}) {
        return strToken;
    }
    const std::string strFolder = Fields(strRow)[1];
    if (!strFolder.empty() && stores.List(strFolder) == std::vector<std::string>{strRow}) {
        return strFolder;
    }
    ADD_FAILURE() << "no pattern finds only " << strRow;
    return strToken;
}

std::string NewName(std::mt19937& rng, unsigned nSeed, int nOperation, const std::string& strOld) {
    const std::string strNum = std::to_string(nSeed) + "-" + std::to_string(nOperation);
    switch (rng() % 4) {
        case 0:
            return "Renamed " + strNum;
        case 1:
            return "v" + strNum + ".5 draft";
        case 2:
            return "R\xC3\xA9sum\xC3\xA9 " + strNum;
        default:
            return Folded(strOld) == strOld ? "UPPER " + strNum : Folded(strOld);
    }
}

// A row of both stores as far as it does not hang on the order in which the
// merge meets the copies of a bookmark: that order decides which copy's name
// a joined row shows, and which of two copies is joined, and it moves when a
// save rewrites the Netscape file or a file is gone. The name is taken in any
// letter case, and the rows that the Favorites hold, IE or **, alike; how many
// of a bookmark's rows are ** is counted apart. Each store listed alone is
// compared exactly.
std::string Settled(const std::string& strRow) {
    const std::vector<std::string> f = Fields(strRow);
    return Folded(f[0]) + "\t" + f[1] + "\t" + f[2] + "\t" + (f[3] == "NS" ? "NS" : "IE|**") +
           "\t" + f[4];
}

std::vector<std::string> Settled(const std::vector<std::string>& rows) {
    std::vector<std::string> settled;
    std::transform(rows.begin(), rows.end(), std::back_inserter(settled),
                   [](const std::string& strRow) { return Settled(strRow); });
    std::sort(settled.begin(), settled.end());
    return settled;
}

// The number of ** rows of each bookmark.
std::map<std::string, int> Joined(const std::vector<std::string>& rows) {
    std::map<std::string, int> joined;
    for (const std::string& strRow : rows) {
        joined[Token(strRow)] += Fields(strRow)[3] == "**" ? 1 : 0;
    }
    return joined;
}

std::string Renamed(const std::string& strRow, const std::string& strName) {
    return strName + strRow.substr(strRow.find('\t'));
}

// Removes the first row that matches and returns it; empty when none does.
template <class TMatch>
std::string Take(std::vector<std::string>& rows, TMatch match) {
    const auto it = std::find_if(rows.begin(), rows.end(), match);
    if (it == rows.end()) {
        return {};
    }
    std::string strRow = *it;
    rows.erase(it);
    return strRow;
}

TEST(SaveProperty, RemoveAndRenameTouchOnlyTheirRows) {
    for (const unsigned nSeed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(nSeed));
        CStores stores(nSeed);
        std::mt19937& rng = stores.m_rng;

        // The stores hold each shape as generated.
        std::map<std::string, std::vector<std::string>> browsers;
        for (const std::string& strRow : stores.List("")) {
            browsers[Token(strRow)].push_back(Fields(strRow)[3]);
        }
        for (int i = 0; i < SHAPE_COUNT; ++i) {
            std::vector<std::string>& marks = browsers["t" + std::to_string(i) + ".example"];
            std::sort(marks.begin(), marks.end());
            EXPECT_EQ(marks, kShapeRows[i]) << "shape " << i;
        }

        for (int nOperation = 0; nOperation < kOperations; ++nOperation) {
            SCOPED_TRACE("operation " + std::to_string(nOperation));
            const std::vector<std::string> rows = stores.List("");
            std::vector<std::string> favorites = stores.List("", CStores::FAVORITES_ONLY);
            std::vector<std::string> netscape = stores.List("", CStores::NETSCAPE_ONLY);
            ASSERT_FALSE(rows.empty());
            const std::string strRow = rows[rng() % rows.size()];
            const bool bRename = rng() % 2 == 0;
            // A removal by the token takes every copy that has a row of its own.
            const std::string strPattern =
                !bRename && rng() % 3 == 0 ? Token(strRow) : PatternFor(stores, strRow);
            const std::vector<std::string> chosen = stores.List(strPattern);
            const auto before = stores.Files();
            ASSERT_EQ(before.count("bookmark.htm"), 1u);

            if (bRename && stores.List(Token(strRow)).size() > 1) {
                // Several rows for one pattern: nothing is renamed or written.
                const CRun refused = stores.Cli({"rename", Token(strRow), "Refused"});
                EXPECT_EQ(refused.nStatus, 1) << refused.strErr;
                EXPECT_EQ(stores.Files(), before);
                EXPECT_EQ(stores.List(""), rows);
            }

            const std::string strNewName =
                bRename ? NewName(rng, nSeed, nOperation, Fields(strRow)[0]) : std::string();
            const CRun run = bRename ? stores.Cli({"rename", "--", strPattern, strNewName})
                                     : stores.Cli({"remove", "--", strPattern});
            SCOPED_TRACE((bRename ? "rename \"" : "remove \"") + strPattern + "\" " + strNewName);
            EXPECT_EQ(run.nStatus, 0) << run.strErr;

            // (a) The chosen rows are gone or renamed, in both stores and in each
            // alone; every other row stays.
            std::vector<std::string> expectedRows;
            std::set_difference(rows.begin(), rows.end(), chosen.begin(), chosen.end(),
                                std::back_inserter(expectedRows));
            std::map<std::string, int> expectedJoined = Joined(rows);
            // Each store alone shows a Favorites row as the one with its URL in
            // its folder, and an NS row as itself; the Netscape copy of a ** row
            // is one that no NS row shows, with its URL and its name in any
            // letter case.
            std::vector<std::string> shownNS, joinedNS;
            std::copy_if(rows.begin(), rows.end(), std::back_inserter(shownNS),
                         [](const std::string& strRow) { return Fields(strRow)[3] == "NS"; });
            std::set_difference(netscape.begin(), netscape.end(), shownNS.begin(), shownNS.end(),
                                std::back_inserter(joinedNS));
            for (const std::string& strChosen : chosen) {
                const std::vector<std::string> c = Fields(strChosen);
                if (bRename) {
                    expectedRows.push_back(Renamed(strChosen, strNewName));
                } else if (c[3] == "**") {
                    --expectedJoined[Token(strChosen)];
                }
                if (c[3] != "NS") {
                    const std::string strCopy = Take(favorites, [&](const std::string& strRow) {
                        const std::vector<std::string> f = Fields(strRow);
                        return f[4] == c[4] && f[1] == c[1];
                    });
                    ASSERT_FALSE(strCopy.empty()) << strChosen;
                    if (bRename) {
                        favorites.push_back(Renamed(strCopy, strNewName));
                    }
                }
                if (c[3] != "IE") {
                    const std::string strCopy =
                        c[3] == "NS" ? strChosen : Take(joinedNS, [&](const std::string& strRow) {
                            const std::vector<std::string> f = Fields(strRow);
                            return f[4] == c[4] && Folded(f[0]) == Folded(c[0]);
                        });
                    ASSERT_FALSE(strCopy.empty()) << strChosen;
                    ASSERT_FALSE(
                        Take(netscape, [&](const std::string& strRow) { return strRow == strCopy; })
                            .empty())
                        << strChosen;
                    if (bRename) {
                        netscape.push_back(Renamed(strCopy, strNewName));
                    }
                }
            }
            std::sort(favorites.begin(), favorites.end());
            std::sort(netscape.begin(), netscape.end());
            const std::vector<std::string> rowsAfter = stores.List("");
            EXPECT_EQ(Settled(rowsAfter), Settled(expectedRows));
            std::map<std::string, int> joinedAfter = Joined(rowsAfter);
            std::erase_if(expectedJoined, [&](const auto& entry) {
                return joinedAfter.count(entry.first) == 0 && entry.second == 0;
            });
            EXPECT_EQ(joinedAfter, expectedJoined);
            EXPECT_EQ(stores.List("", CStores::FAVORITES_ONLY), favorites);
            EXPECT_EQ(stores.List("", CStores::NETSCAPE_ONLY), netscape);

            // (b) Only the chosen rows' own files, the Netscape file and one new
            // backup of it differ.
            const auto after = stores.Files();
            auto expected = before;
            for (const std::string& strChosen : chosen) {
                if (Fields(strChosen)[3] == "NS") {
                    continue;
                }
                const auto it = stores.FileOf(strChosen);
                ASSERT_NE(it, stores.m_files.end());
                ASSERT_EQ(expected.count(it->Path()), 1u) << it->Path();
                const std::string strBytes = expected[it->Path()];
                expected.erase(it->Path());
                if (bRename) {
                    it->strTitle = strNewName;
                    expected[it->Path()] = strBytes;
                } else {
                    stores.m_files.erase(it);
                }
            }
            std::vector<std::string> backups;
            for (const auto& entry : after) {
                if (before.count(entry.first) == 0 && entry.first.starts_with("bookmark.htm.") &&
                    AllDigits(entry.first.substr(13))) {
                    backups.push_back(entry.first);
                    expected[entry.first] = before.at("bookmark.htm");
                }
            }
            EXPECT_EQ(backups.size(), 1u);
            ASSERT_EQ(after.count("bookmark.htm"), 1u);
            expected["bookmark.htm"] = after.at("bookmark.htm");
            EXPECT_EQ(after, expected);
            if (backups.size() == 1) {
                EXPECT_EQ(run.LastErrLine(),
                          "Backup copy of your Netscape bookmark file was created: \"" +
                              (fs::canonical(stores.m_root) / backups[0]).string() + "\"");
            }
        }
    }
}

}  // namespace
