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
    std::vector<std::string> dirs{XdgUserDir(pszHomeVar, pszHomeDefault)};
    for (const std::string& strDir : SplitDirs(GetEnv(pszDirsVar))) {
        if (IsAbsolute(strDir)) {
            dirs.push_back(strDir);
        }
    }
    // A list without a valid directory counts as not set.
    if (dirs.size() == 1) {
        for (const std::string& strDir : SplitDirs(pszDirsDefault)) {
            dirs.push_back(strDir);
        }
    }
    return dirs;
}

std::string ConfigFilePath(const char* pszName) {
    return XdgUserDir("XDG_CONFIG_HOME", "/.config") + "/tavrel/" + pszName;
}
