// Texts of the messages that writing back and exporting show.
#pragma once

#include <string>
#include <string_view>

constexpr const char* kMsgCannotCreateFile = "Cannot create the file \"%s\"";
constexpr const char* kMsgCannotCreateDirectory = "Cannot create directory \"%s\"";
constexpr const char* kMsgCannotOpenFile = "Cannot open the file \"%s\"";
constexpr const char* kMsgCannotWriteFile = "Cannot write the file \"%s\"";
constexpr const char* kMsgFileChanged =
    "Your Netscape bookmark file has changed since it was read, so it was not replaced: "
    "\"%s\". The list now shows the bookmarks as they are; make your changes again.";
constexpr const char* kMsgBackupCreated =
    "Backup copy of your Netscape bookmark file was created: \"%s\"";

// The template with its "%s" replaced by the whole argument, however long.
inline std::string FormatText(const char* pszTemplate, const std::string& strArg) {
    const std::string_view strTemplate = pszTemplate;
    const std::size_t nAt = strTemplate.find("%s");
    if (nAt == std::string_view::npos) {
        return std::string(strTemplate);
    }
    std::string strText(strTemplate.substr(0, nAt));
    strText += strArg;
    strText += strTemplate.substr(nAt + 2);
    return strText;
}

// The message for a link the open action refused with nCode (32 or less).
std::string OpenFailureMessage(const std::string& strURL, unsigned nCode);

// A command's string cut at its first line feed (at most 256 characters
// before it): the prompt, as the context menu shows it.
std::string MenuLabel(const char* pszString);
