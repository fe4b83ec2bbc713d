// The process arguments and the program's two switches, "NS" and "log".
#pragma once

#include <string>
#include <vector>

// Keeps the arguments that GetCommandLineOption looks through (argv[0] included).
void SetProcessArguments(int argc, const char* const* argv);
const std::vector<std::string>& GetProcessArguments();

// Finds the switch written after "-" or "/" in any letter case. strValue gets
// the next argument, whatever it is, and is left as it was when the switch is
// the last argument. Without the switch strValue gets the default (empty for
// null) and the result is false.
bool GetCommandLineOption(const char* pszName, std::string& strValue, const char* pszDefault);

// Whether the argument is the switch pszName (a leading "-" or "/", any case).
bool IsSwitch(const std::string& strArg, const char* pszName);
