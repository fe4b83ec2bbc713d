#include "discovery/CommandLine.h"

#include <cstring>

#include "catalogue/Bookmark.h"

namespace {
std::vector<std::string>& Arguments() {
    static std::vector<std::string> s_args;
    return s_args;
}
}  // namespace

void SetProcessArguments(int argc, const char* const* argv) {
    Arguments().assign(argv, argv + argc);
}

const std::vector<std::string>& GetProcessArguments() {
    return Arguments();
}

bool IsSwitch(const std::string& strArg, const char* pszName) {
    return strArg.size() > 1 && (strArg[0] == '-' || strArg[0] == '/') &&
           CompareNoCase(strArg.data() + 1, strArg.size() - 1, pszName, std::strlen(pszName)) == 0;
}

bool GetCommandLineOption(const char* pszName, std::string& strValue, const char* pszDefault) {
    const std::vector<std::string>& args = Arguments();
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (IsSwitch(args[i], pszName)) {
            if (i + 1 < args.size()) {
                strValue = args[i + 1];
            }
            return true;
        }
    }
    strValue = pszDefault != nullptr ? pszDefault : "";
    return false;
}
