// The directories of the XDG base directory layout, and the environment.
#pragma once

#include <string>
#include <vector>

// The variable's value; empty when it is not set.
std::string GetEnv(const char* pszName);
// A list of directories separated by ":", without empty entries.
std::vector<std::string> SplitDirs(const std::string& strList);
// The user's own directory of a kind: the variable, else HOME and the default
// below it ("XDG_CONFIG_HOME", "/.config").
std::string XdgUserDir(const char* pszHomeVar, const char* pszHomeDefault);
// An XDG base directory list, most important first: the user's own directory,
// then the system's (the list variable, else its default).
std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault);
