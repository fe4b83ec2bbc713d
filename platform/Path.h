// Path helpers that stand in for the Windows path conventions.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#ifdef _WIN32
constexpr char kPathSep = '\\';
// Without a temporary folder, the root of the current drive.
constexpr const char* kTempFallbackDir = "";
#else
constexpr char kPathSep = '/';
constexpr const char* kTempFallbackDir = "/tmp";
#endif

// The name without its last extension: "Work.2000" gives "Work", "a.b.url" gives "a.b".
inline std::string FileTitle(const std::string& strName) {
    const auto nDot = strName.rfind('.');
    return nDot == std::string::npos ? strName : strName.substr(0, nDot);
}

inline std::string JoinPath(const std::string& strDir, const std::string& strName) {
    return strDir + kPathSep + strName;
}

// Whether a name can stand as one part of a path: it must not hold a separator
// of either platform, nor lead to the folder itself or its parent.
inline bool IsPlainName(std::string_view strName) {
    return strName.find_first_of("/\\") == std::string_view::npos && strName != "." &&
           strName != "..";
}

// A name for a file of our own beside others in a directory, new at each
// call: hidden, and unlike any name a user gives.
inline std::string TempNameBeside(const std::string& strBeside, unsigned long nProcess) {
    static unsigned s_nCounter = 0;
    const auto nNoise = static_cast<unsigned long>(std::time(nullptr)) ^ (nProcess << 16) ^
                        (++s_nCounter * 2654435761u);
    char szSuffix[32];
    std::snprintf(szSuffix, sizeof szSuffix, ".tavrel-%08lx", nNoise & 0xFFFFFFFFul);
    std::string strName(1, '.');
    strName.append(strBeside, 0, 200);
    strName += szSuffix;
    return strName;
}
