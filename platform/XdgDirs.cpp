#include "platform/XdgDirs.h"

#include <cstdlib>
#include <sstream>

namespace {

// The base directory variables hold absolute paths only; a relative one is
// not valid and is passed over.
bool IsAbsolute(const std::string& strDir) {
    return !strDir.empty() && strDir[0] == '/';
}

// The user's own directory of a kind: the variable, else HOME and the default
// below it ("XDG_CONFIG_HOME", "/.config").
std::string XdgUserDir(const char* pszHomeVar, const char* pszHomeDefault) {
    const std::string strHome = GetEnv(pszHomeVar);
    return IsAbsolute(strHome) ? strHome : GetEnv("HOME") + pszHomeDefault;
}

}  // namespace

std::vector<std::string> SplitList(const std::string& strList, char cSep) {
    std::vector<std::string> items;
    std::stringstream stream(strList);
    std::string strItem;
    while (std::getline(stream, strItem, cSep)) {
        if (!strItem.empty()) {
            items.push_back(strItem);
        }
    }
    return items;
}

std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault) {
    std::vector<std::string> dirs{XdgUserDir(pszHomeVar, pszHomeDefault)};
    for (const std::string& strDir : SplitList(GetEnv(pszDirsVar), ':')) {
        if (IsAbsolute(strDir)) {
            dirs.push_back(strDir);
        }
    }
    // A list without a valid directory counts as not set.
    if (dirs.size() == 1) {
        for (const std::string& strDir : SplitList(pszDirsDefault, ':')) {
            dirs.push_back(strDir);
        }
    }
    return dirs;
}

std::string ConfigFilePath(const char* pszName) {
    return XdgUserDir("XDG_CONFIG_HOME", "/.config") + "/tavrel/" + pszName;
}
