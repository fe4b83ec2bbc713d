// The directories of the XDG base directory layout, and the environment.
#pragma once

#include "platform/Environment.h"

#include <string>
#include <vector>

// A list of directories separated by ":", without empty entries.
std::vector<std::string> SplitDirs(const std::string& strList);
// An XDG base directory list, most important first: the user's own directory,
// then the system's (the list variable, else its default).
std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault);
