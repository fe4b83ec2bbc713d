// Finds the two stores: the registry, the "NS" switch, the Communicator
// profiles, and the detection log "TVL.LOG".
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <future>

#include "catalogue/TVLDlgBase.h"
#include "discovery/Profiles.h"
#include "platform/Environment.h"
#include "platform/Heap.h"
#include "platform/Path.h"

std::FILE* g_pLogFile = nullptr;

namespace {

// How often an import tells its progress while it waits for the Favorites walk.
constexpr std::chrono::milliseconds kImportPulse(50);

constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kBookmarkList = "Software\\Netscape\\Netscape Navigator\\Bookmark List";
constexpr const char* kNavigatorMain = "SOFTWARE\\Netscape\\Netscape Navigator\\Main";
constexpr const char* kNavigatorBiff = "SOFTWARE\\Netscape\\Netscape Navigator\\biff";

// Writes one log line when the log is open; "\n" becomes CR LF, as a text file
// written on Windows has it.
void Log(const char* pszFormat, ...) {
    if (g_pLogFile == nullptr) {
        return;
    }
    std::va_list args;
    va_start(args, pszFormat);
    std::va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string strLine(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    std::vsnprintf(strLine.data(), strLine.size(), pszFormat, args);
    va_end(args);
    strLine.pop_back();
    std::string strOut;
    for (char c : strLine) {
        if (c == '\n') {
            strOut += '\r';
        }
        strOut += c;
    }
    std::fwrite(strOut.data(), 1, strOut.size(), g_pLogFile);
}

// The text of a value as a C string would show it, expanded when it is an
// expandable string.
std::string ValueText(const CRegValue& value) {
    return value.nType == REG_EXPAND_SZ ? ExpandEnvironmentStrings(value.Text()) : value.Text();
}

// Opens a key under HKEY_CURRENT_USER and reads one value. bOpened tells
// whether the key exists.
bool QueryUserValue(CRegistry& registry, const char* pszKey, const char* pszName, CRegValue& value,
                    bool& bOpened) {
    const HKEY hKey = registry.OpenKey(HKEY_CURRENT_USER, pszKey, KEY_QUERY_VALUE);
    bOpened = hKey != 0;
    if (!bOpened) {
        return false;
    }
    const bool bRead = registry.QueryValue(hKey, pszName, value);
    registry.CloseKey(hKey);
    return bRead;
}

}  // namespace

void CTVLDlgBase::DetectStores() {
    const std::unique_ptr<CRegistry> pRegistry = OpenSystemRegistry();
    DetectStores(*pRegistry);
}

void CTVLDlgBase::DetectStores(CRegistry& registry) {
    if (m_bLog) {
        g_pLogFile = std::fopen("TVL.LOG", "ab");
        Log("----------------------------- %s\n",
            FormatDate(m_pFileSystem->CurrentTime(), "%y-%m-%d %H:%M:%S").c_str());
    }
    m_bNSRegistry = false;

    // Favorites: the user's shell folders, the expandable entry first.
    CRegValue value;
    bool bOpened = false;
    bool bFound = QueryUserValue(registry, kUserShellFolders, "Favorites", value, bOpened);
    if (bOpened) {
        Log("MSIE 1. <%s> <%s> <%s>\n", kUserShellFolders, "Favorites",
            bFound ? value.Text().c_str() : "");
    }
    if (!bFound) {
        bFound = QueryUserValue(registry, kShellFolders, "Favorites", value, bOpened);
        if (bOpened) {
            Log("MSIE 2. <%s> <%s> <%s>\n", kShellFolders, "Favorites",
                bFound ? value.Text().c_str() : "");
        }
    }
    m_bMSIE = false;
    m_strFavorites.clear();
    if (bFound) {
        m_strFavorites = ValueText(value);
        m_bMSIE = m_pFileSystem->IsDirectory(m_strFavorites);
        if (!m_bMSIE) {
            m_strFavorites.clear();
        } else if (m_strFavorites.size() > 1 && m_strFavorites.back() == kPathSep) {
            m_strFavorites.pop_back();
        }
    }
    if (!m_strChosenFavorites.empty() && (m_bChosenFavoritesWin || !m_bMSIE)) {
        const bool bThere = m_pFileSystem->IsDirectory(m_strChosenFavorites);
        Log("MSIE chosen <%s>%s\n", m_strChosenFavorites.c_str(), bThere ? "" : " is gone");
        if (bThere) {
            m_bMSIE = true;
            m_strFavorites = m_strChosenFavorites;
        }
    }
    Log("MSIE Path <%s>\n", m_strFavorites.c_str());
    Log("Detecting Netscape bookmarks\n");

    if (!m_strNSOption.empty()) {
        m_bNetscape = true;
        m_strNSFile = m_strNSOption;
    } else {
        if (QueryUserValue(registry, kBookmarkList, "File Location", value, bOpened)) {
            m_bNSRegistry = true;
            m_strNSFile = ValueText(value);
            Log("Netscape 1. <%s> <%s> <%s>\n", kBookmarkList, "File Location",
                m_strNSFile.c_str());
        }
        const HKEY hUsers = registry.OpenKey(HKEY_LOCAL_MACHINE, kUsersKey, KEY_QUERY_VALUE);
        m_bNetscape = hUsers != 0;
        if (m_bNetscape) {
            registry.CloseKey(hUsers);
            Log("Communicator present \n");
            RunProfileChoice(registry);
        }
        if (!m_bNetscape && !m_bNSRegistry) {
            ProbeCommunicator45(registry);
        }
        if (m_bNetscape) {
            m_strNSFile = m_strNSProfileFile;
        }
        ProbeOtherNetscapeFiles();
    }
    Log("Netscape - Using path <%s>\n", m_strNSFile.c_str());
    if (g_pLogFile != nullptr) {
        std::fclose(g_pLogFile);
        g_pLogFile = nullptr;
    }
}

void CTVLDlgBase::ProbeOtherNetscapeFiles() {
    const bool bFound = (m_bNetscape || m_bNSRegistry) && !m_strNSFile.empty() &&
                        m_pFileSystem->CanOpen(m_strNSFile, false);
    auto use = [this](const std::string& strPath) {
        m_strNSFile = strPath;
        m_bNetscape = true;
    };
    if (!m_strChosenNSFile.empty() && (m_bChosenNSWins || !bFound)) {
        const bool bThere = m_pFileSystem->CanOpen(m_strChosenNSFile, false);
        Log("Netscape chosen <%s>%s\n", m_strChosenNSFile.c_str(), bThere ? "" : " is gone");
        if (bThere) {
            use(m_strChosenNSFile);
            return;
        }
    }
    if (bFound) {
        return;
    }
    for (const std::string& strPath : HomeBookmarkFiles()) {
        if (m_pFileSystem->CanOpen(strPath, false)) {
            Log("Netscape found <%s>\n", strPath.c_str());
            use(strPath);
            return;
        }
    }
}

std::vector<std::string> CTVLDlgBase::HomeBookmarkFiles() {
    const std::string strHome = GetEnv("HOME");
    if (strHome.empty()) {
        return {};
    }
    std::vector<std::string> files{JoinPath(JoinPath(strHome, ".netscape"), "bookmarks.html")};
    // Sorted, so that the same file is found at every start.
    auto subdirs = [this](const std::string& strDir) {
        CDirListing listing;
        std::vector<std::string> dirs;
        if (m_pFileSystem->ListDirectory(strDir, listing)) {
            for (const CDirEntry& entry : listing.entries) {
                if (entry.bDirectory) {
                    dirs.push_back(entry.strPath);
                }
            }
        }
        std::sort(dirs.begin(), dirs.end());
        return dirs;
    };
    const std::string strMozilla = JoinPath(strHome, ".mozilla");
    // Mozilla Suite: ~/.mozilla/PROFILE/SALT.slt/bookmarks.html.
    for (const std::string& strProfile : subdirs(strMozilla)) {
        for (const std::string& strSalted : subdirs(strProfile)) {
            if (strSalted.ends_with(".slt")) {
                files.push_back(JoinPath(strSalted, "bookmarks.html"));
            }
        }
    }
    // SeaMonkey: ~/.mozilla/seamonkey/PROFILE/bookmarks.html.
    for (const std::string& strProfile : subdirs(JoinPath(strMozilla, "seamonkey"))) {
        files.push_back(JoinPath(strProfile, "bookmarks.html"));
    }
    return files;
}

void CTVLDlgBase::ProbeCommunicator45(CRegistry& registry) {
    Log("Maybe it is NSC 4.5+ \n");
    // Reads one value of a key that must exist; false when the key does not.
    auto probe = [&](const char* pszStep, const char* pszKey, const char* pszName,
                     std::string& strValue) {
        CRegValue value;
        bool bOpened = false;
        if (QueryUserValue(registry, pszKey, pszName, value, bOpened)) {
            m_bNSRegistry = true;
            strValue = ValueText(value);
        }
        if (bOpened) {
            Log("Netscape %s. <%s> <%s> <%s>\n", pszStep, pszKey, pszName, strValue.c_str());
        }
        return bOpened;
    };
    std::string strInstall;
    std::string strUser;
    if (!probe("2", kNavigatorMain, "Install Directory", strInstall) ||
        !probe("3", kNavigatorBiff, "CurrentUser", strUser)) {
        return;
    }
    // The profiles live beside the program: ...\Communicator\... becomes ...\Users\...
    const std::size_t nAt = strInstall.find("Communicator");
    if (nAt != std::string::npos) {
        strInstall.replace(nAt, 12, "Users");
    }
    m_strNSProfileFile = strInstall + kPathSep + strUser + kPathSep + "BOOKMARK.HTM";
    m_bNetscape = true;
    Log("Netscape - found path <%s>\n", m_strNSProfileFile.c_str());
}

void CTVLDlgBase::RunProfileChoice(CRegistry& registry) {
    const std::vector<std::string> users = FillUserList(registry, *m_pFileSystem);
    if (users.empty()) {
        m_bNetscape = false;
        return;
    }
    int nChosen = 0;
    if (users.size() > 1 && !ChooseProfile(users, nChosen)) {
        return;
    }
    std::string strDir;
    GetProfileDirRoot(registry, users[static_cast<std::size_t>(nChosen)].c_str(), strDir);
    m_strNSProfileFile = ProfileBookmarkFile(strDir);
}

void CTVLDlgBase::ImportBookmarks() {
    DetectStores();
    ReadStores();
}

void CTVLDlgBase::ReadStores() {
    ImportProgress(IMPORT_START);
    // The Favorites are walked on a second thread while the old records are
    // freed and the Netscape file is read here: the walk waits on the file
    // system, the reader on the CPU. A Save has walked them already while it
    // wrote the Netscape file, unless discovery has found other ones since.
    // The hooks run on this thread only.
    std::unique_ptr<CFavoritesWalk> pWalk = std::move(m_pSavedWalk);
    if (!pWalk || !pWalk->Walks(*this)) {
        pWalk = StartFavoritesWalk();
    }
    m_bookmarks.DeleteAll();
    m_texts.Clear();
    InvalidateRowOrder();
    ImportProgress(IMPORT_FAVORITES);
    CFavoritesRead& favorites = pWalk->read;
    {
        ImportProgress(IMPORT_NETSCAPE);
        ReadNetscapeFile();
        ImportCount(static_cast<std::size_t>(m_bookmarks.GetSize()));
        std::future<void>& walk = pWalk->done;
        if (walk.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ImportProgress(IMPORT_FAVORITES);
            while (walk.wait_for(kImportPulse) != std::future_status::ready) {
                ImportCount(static_cast<std::size_t>(m_bookmarks.GetSize()) +
                            favorites.nRead.load(std::memory_order_relaxed));
            }
        }
        walk.get();
    }
    TakeFavorites(favorites);
    ImportCount(static_cast<std::size_t>(m_bookmarks.GetSize()));
    ImportProgress(IMPORT_READ);
    MergeDuplicates();
    // What the readers and the merge held for a while is given back before
    // the list takes its own.
    CHeapReserve::ReturnFree();
    RefillList();
    ImportProgress(IMPORT_DONE);
}
