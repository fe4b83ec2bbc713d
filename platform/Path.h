// Path helpers that stand in for the Windows path conventions.
#pragma once

#include <string>

#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

// The name without its last extension: "Work.2000" gives "Work", "a.b.url" gives "a.b".
inline std::string FileTitle(const std::string& strName) {
    const auto nDot = strName.rfind('.');
    return nDot == std::string::npos ? strName : strName.substr(0, nDot);
}

inline std::string JoinPath(const std::string& strDir, const std::string& strName) {
    return strDir + kPathSep + strName;
}
