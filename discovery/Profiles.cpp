#include "discovery/Profiles.h"

#include <algorithm>

#include "catalogue/Bookmark.h"
#include "platform/Path.h"

bool GetProfileDirRoot(CRegistry& registry, const char* pszUser, std::string& strDir) {
    const std::string strKey = std::string(kUsersKey) + "\\" + pszUser;
    const HKEY hKey = registry.OpenKey(HKEY_LOCAL_MACHINE, strKey, KEY_QUERY_VALUE);
    if (hKey == 0) {
        return false;
    }
    CRegValue value;
    const bool bRead = registry.QueryValue(hKey, "DirRoot", value);
    registry.CloseKey(hKey);
    if (!bRead) {
        return false;
    }
    if (value.nType == REG_SZ) {
        strDir = value.Text();
        return true;
    }
    if (value.nType == REG_EXPAND_SZ) {
        strDir = ExpandEnvironmentStrings(value.Text());
        return true;
    }
    return false;
}

bool CanOpenForWriting(CFileSystem& fileSystem, const char* pszPath) {
    return fileSystem.CanOpen(pszPath, false) && fileSystem.CanOpen(pszPath, true);
}

std::string ProfileBookmarkFile(const std::string& strDir) {
    std::string strPath = strDir;
    if (strPath.empty() || strPath.back() != kPathSep) {
        strPath += kPathSep;
    }
    return strPath + "BOOKMARK.HTM";
}

std::vector<std::string> FillUserList(CRegistry& registry, CFileSystem& fileSystem) {
    std::vector<std::string> users;
    const HKEY hKey = registry.OpenKey(HKEY_LOCAL_MACHINE, kUsersKey, KEY_ENUMERATE_SUB_KEYS);
    if (hKey == 0) {
        return users;
    }
    std::string strUser;
    for (std::uint32_t i = 0; registry.EnumKey(hKey, i, strUser); ++i) {
        std::string strDir;
        if (GetProfileDirRoot(registry, strUser.c_str(), strDir) &&
            CanOpenForWriting(fileSystem, ProfileBookmarkFile(strDir).c_str())) {
            users.push_back(strUser);
        }
    }
    registry.CloseKey(hKey);
    std::stable_sort(users.begin(), users.end(), [](const std::string& a, const std::string& b) {
        return CompareNoCase(a, b) < 0;
    });
    return users;
}
