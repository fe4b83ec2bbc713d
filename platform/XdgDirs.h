// The directories of the XDG base directory layout, and the environment.
#pragma once

#include <string>
#include <vector>

// The variable's value; empty when it is not set.
std::string GetEnv(const char* pszName);
// A list of directories separated by ":", without empty entries.
std::vector<std::string> SplitDirs(const std::string& strList);
// A file of this program's own in the user's configuration directory:
// $XDG_CONFIG_HOME/tavrel/NAME, else $HOME/.config/tavrel/NAME.
std::string ConfigFilePath(const char* pszName);
// An XDG base directory list, most important first: the user's own directory,
// then the system's (the list variable, else its default).
std::vector<std::string> XdgDirs(const char* pszHomeVar, const char* pszHomeDefault,
                                 const char* pszDirsVar, const char* pszDirsDefault);
