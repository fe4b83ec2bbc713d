// The per-user settings: window placement, bar visibility, column widths and
// the filter pattern history, kept in a wxConfig file under sections and
// named values.
#pragma once

#include <string>

class wxConfigBase;

// Creates the settings over SettingsFilePath(), makes them the global wxConfig
// (the earlier one is written and deleted first) and returns them. A corrupt
// or unreadable file gives whatever could be read; nothing is shown.
wxConfigBase* InstallSettings();

// $XDG_CONFIG_HOME/tavrel/settings.conf, XDG_CONFIG_HOME defaulting to
// $HOME/.config.
std::string SettingsFilePath();

// Values of the global wxConfig. Without one, reads give the default and
// writes do nothing. Strings are byte strings and come back byte for byte;
// an integer that is not a decimal number reads as the default.
int GetSettingInt(const char* pszSection, const char* pszEntry, int nDefault);
void WriteSettingInt(const char* pszSection, const char* pszEntry, int nValue);
std::string GetSettingString(const char* pszSection, const char* pszEntry,
                             const std::string& strDefault = "");
void WriteSettingString(const char* pszSection, const char* pszEntry, const std::string& strValue);

// A window's placement as Windows stores it: flags, show state, minimised and
// maximised positions, and the normal rectangle in screen pixels.
struct CWindowPlacement {
    unsigned nFlags = 0;
    unsigned nShowCmd = 0;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    int nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;
};

// "flags,showCmd,xMin,yMin,xMax,yMax,left,top,right,bottom". Parsing succeeds
// only when all ten fields convert; otherwise wp is left unchanged.
bool ParseWindowPlacement(const std::string& str, CWindowPlacement& wp);
std::string FormatWindowPlacement(const CWindowPlacement& wp);
// "Settings"/"WindowPos".
bool LoadWindowPlacement(CWindowPlacement& wp);
void SaveWindowPlacement(const CWindowPlacement& wp);

// Five comma-separated widths. Scanning takes the leading fields up to the
// first that does not convert (each decimal, 0x hexadecimal or 0 octal) and
// leaves the rest of the array alone; returns how many were taken.
int ScanColumnWidths(const std::string& str, int widths[5]);
// Decimal.
std::string FormatColumnWidths(const int widths[5]);
