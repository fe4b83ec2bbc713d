// The directories of the XDG base directory layout, and the environment.
#pragma once

#include "platform/Environment.h"

#include <string>
#include <vector>

// The entries of a list separated by cSep (":" for directories), without
// empty ones.
std::vector<std::string> SplitList(const std::string& strList, char cSep);
// An XDG base directory list, most important first: the user's own directory,
// then the system's (the list variable, else its default).
std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault);
