// The process environment, and where the program keeps its settings.
#pragma once

#include <cstdlib>
#include <string>

// The variable's value, "" when it is not set.
inline std::string GetEnv(const char* pszName) {
    const char* psz = std::getenv(pszName);
    return psz != nullptr ? psz : "";
}

// The path of the program's settings file of this name; "" where the system
// keeps settings in a store of its own (the registry on Windows).
std::string ConfigFilePath(const char* pszName);
