#include "platform/XdgDirs.h"

#include <cstdlib>
#include <sstream>

namespace {

// The user's own directory of a kind: the variable, else HOME and the default
// below it ("XDG_CONFIG_HOME", "/.config").
std::string XdgUserDir(const char* pszHomeVar, const char* pszHomeDefault) {
    const std::string strHome = GetEnv(pszHomeVar);
    return strHome.empty() ? GetEnv("HOME") + pszHomeDefault : strHome;
}

}  // namespace

std::vector<std::string> SplitDirs(const std::string& strList) {
    std::vector<std::string> dirs;
    std::stringstream stream(strList);
    std::string strDir;
    while (std::getline(stream, strDir, ':')) {
        if (!strDir.empty()) {
            dirs.push_back(strDir);
        }
    }
    return dirs;
}

std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault) {
    const std::string strHome = XdgUserDir(pszHomeVar, pszHomeDefault);
    std::string strDirs = GetEnv(pszDirsVar);
    if (strDirs.empty()) {
        strDirs = pszDirsDefault;
    }
    std::vector<std::string> dirs{strHome};
    for (const std::string& strDir : SplitDirs(strDirs)) {
        dirs.push_back(strDir);
    }
    return dirs;
}

std::string ConfigFilePath(const char* pszName) {
    return XdgUserDir("XDG_CONFIG_HOME", "/.config") + "/tavrel/" + pszName;
}
