// Texts of the row commands: the open action's failures and menu labels.
#include <algorithm>

#include "writeback/Messages.h"

namespace {

const char* OpenErrorText(unsigned nCode) {
    switch (nCode) {
        case 0:
            return "The operating system is out of memory or resources";
        case 2:
            return "The specified file was not found";
        case 3:
            return "The specified path was not found";
        case 5:
            return "The operating system denied access to the specified file";
        case 8:
            return "There was not enough memory to complete the operation";
        case 26:
            return "A sharing violation occurred";
        case 27:
            return "The filename association is incomplete or invalid";
        case 28:
            return "The DDE transaction could not be completed because the request timed out.";
        case 29:
            return "The DDE transaction failed";
        case 30:
            return "The DDE transaction could not be completed because other DDE transactions "
                   "were being processed";
        case 31:
            return "There is no application associated with the given filename extension";
        default:
            return "Without explanation";
    }
}

}  // namespace

std::string OpenFailureMessage(const std::string& strURL, unsigned nCode) {
    return "The link '" + strURL + "' cannot be shown, error code = " + std::to_string(nCode) +
           ". " + OpenErrorText(nCode) + ".";
}

std::string MenuLabel(const char* pszString) {
    std::string str(pszString);
    str.resize(std::min<std::size_t>(str.size(), 256));
    return str.substr(0, str.find('\n'));
}
