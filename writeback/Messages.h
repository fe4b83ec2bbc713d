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

// The message for a link the open action refused with nCode (32 or less).
std::string OpenFailureMessage(const std::string& strURL, unsigned nCode);

// A command's string cut at its first line feed (at most 256 characters
// before it): the prompt, as the context menu shows it.
std::string MenuLabel(const char* pszString);
