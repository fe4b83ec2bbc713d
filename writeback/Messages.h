// Texts of the messages that writing back and exporting show.
#pragma once

#include <string>

constexpr const char* kMsgCannotCreateFile = "Cannot create the file \"%s\"";
constexpr const char* kMsgCannotCreateDirectory = "Cannot create directory \"%s\"";
constexpr const char* kMsgCannotOpenFile = "Cannot open the file \"%s\"";
constexpr const char* kMsgCannotWriteFile = "Cannot write the file \"%s\"";
constexpr const char* kMsgBackupCreated =
    "Backup copy of your Netscape bookmark file was created: \"%s\"";

// The template with its "%s" replaced by the whole argument, however long.
inline std::string FormatText(const char* pszTemplate, const std::string& strArg) {
    std::string strText = pszTemplate;
    const std::size_t nAt = strText.find("%s");
    return nAt == std::string::npos ? strText : strText.replace(nAt, 2, strArg);
}
