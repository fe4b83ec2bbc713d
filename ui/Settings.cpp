#include "ui/Settings.h"

#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/strconv.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/Environment.h"

namespace {

// The settings file. It is read and written as ISO 8859-1, and the program's
// byte strings are held as the characters U+0000 to U+00FF of the same code,
// so every value is stored exactly as the bytes the program gave: UTF-8 text
// reads as UTF-8 in the file, a Windows-1252 pattern stays Windows-1252, and a
// file with stray bytes never fails to decode.
class CSettingsConfig : public wxFileConfig {
public:
    explicit CSettingsConfig(const wxString& strFile)
        : wxFileConfig("Tavrel", "Qelt", strFile, wxString(), wxCONFIG_USE_LOCAL_FILE,
                       wxConvISO8859_1),
          m_strDir(wxFileName(strFile).GetPath()) {
        // Patterns such as "$HOME" are text, not references.
        SetExpandEnvVars(false);
        SetUmask(077);
    }
    // The base destructor would call its own Flush, not this one.
    ~CSettingsConfig() override { Flush(); }

    // Write failures go unreported; the file's directory is made when missing.
    bool Flush(bool bCurrentOnly = false) override {
        wxLogNull noLog;
        if (!m_strDir.empty() && !wxFileName::DirExists(m_strDir)) {
            wxFileName::Mkdir(m_strDir, 0700, wxPATH_MKDIR_FULL);
        }
        return wxFileConfig::Flush(bCurrentOnly);
    }

private:
    wxString m_strDir;
};

wxString SettingsKey(const char* pszSection, const char* pszEntry) {
    return wxString::Format("/%s/%s", pszSection, pszEntry);
}

wxString StoredFromBytes(const std::string& strBytes) {
    std::wstring str;
    str.reserve(strBytes.size());
    for (char ch : strBytes) {
        str += static_cast<wchar_t>(static_cast<unsigned char>(ch));
    }
    return wxString(str);
}

// A value holding characters beyond U+00FF was not written by the program
// (another wxConfig back end, or edited there); it is taken as UTF-8.
std::string BytesFromStored(const wxString& str) {
    std::string strBytes;
    strBytes.reserve(str.length());
    for (wxUniChar ch : str) {
        const wxUniChar::value_type c = ch.GetValue();
        if (c > 0xFF) {
            const wxScopedCharBuffer utf8 = str.utf8_str();
            return std::string(utf8.data(), utf8.length());
        }
        strBytes += static_cast<char>(c);
    }
    return strBytes;
}

// One integer field as sscanf converts it: white space skipped, an optional
// sign, then digits in nBase (0 as for "%i": 0x hexadecimal, leading 0 octal).
// Moves p past the field; false when no digit converts.
bool ScanField(const char*& p, int nBase, long long& n) {
    char* pEnd = nullptr;
    n = std::strtoll(p, &pEnd, nBase);
    if (pEnd == p) {
        return false;
    }
    p = pEnd;
    return true;
}

int ClampInt(long long n) {
    return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

// Scans up to nFields comma-separated fields into values; returns how many converted.
int ScanFields(const std::string& str, int nBase, long long* values, int nFields) {
    const char* p = str.c_str();
    for (int i = 0; i < nFields; ++i) {
        if (i > 0) {
            if (*p != ',') {
                return i;
            }
            ++p;
        }
        if (!ScanField(p, nBase, values[i])) {
            return i;
        }
    }
    return nFields;
}

std::string JoinFields(const long long* values, int nFields) {
    std::string str;
    for (int i = 0; i < nFields; ++i) {
        if (i > 0) {
            str += ',';
        }
        str += std::to_string(values[i]);
    }
    return str;
}

}  // namespace

wxConfigBase* InstallSettings() {
    wxLogNull noLog;
    // The earlier settings are written before the file is read again.
    delete wxConfigBase::Set(nullptr);
    // Without a file, the system's own store: the registry key of the vendor
    // and the program on Windows.
    const std::string strPath = SettingsFilePath();
    wxConfigBase* pConfig = nullptr;
    if (strPath.empty()) {
        pConfig = new wxConfig("Tavrel", "Qelt", wxString(), wxString(), wxCONFIG_USE_LOCAL_FILE);
        pConfig->SetExpandEnvVars(false);
    } else {
        pConfig = new CSettingsConfig(wxString(strPath.c_str(), *wxConvFileName));
    }
    wxConfigBase::Set(pConfig);
    return pConfig;
}

std::string SettingsFilePath() {
    return ConfigFilePath("settings.conf");
}

int GetSettingInt(const char* pszSection, const char* pszEntry, int nDefault) {
    const wxConfigBase* pConfig = wxConfigBase::Get(false);
    long n = 0;
    if (pConfig == nullptr || !pConfig->Read(SettingsKey(pszSection, pszEntry), &n) ||
        n < INT_MIN || n > INT_MAX) {
        return nDefault;
    }
    return static_cast<int>(n);
}

void WriteSettingInt(const char* pszSection, const char* pszEntry, int nValue) {
    wxConfigBase* pConfig = wxConfigBase::Get(false);
    if (pConfig != nullptr) {
        pConfig->Write(SettingsKey(pszSection, pszEntry), static_cast<long>(nValue));
    }
}

std::string GetSettingString(const char* pszSection, const char* pszEntry,
                             const std::string& strDefault) {
    const wxConfigBase* pConfig = wxConfigBase::Get(false);
    wxString str;
    if (pConfig == nullptr || !pConfig->Read(SettingsKey(pszSection, pszEntry), &str)) {
        return strDefault;
    }
    return BytesFromStored(str);
}

void WriteSettingString(const char* pszSection, const char* pszEntry, const std::string& strValue) {
    wxConfigBase* pConfig = wxConfigBase::Get(false);
    if (pConfig != nullptr) {
        pConfig->Write(SettingsKey(pszSection, pszEntry), StoredFromBytes(strValue));
    }
}

bool ParseWindowPlacement(const std::string& str, CWindowPlacement& wp) {
    long long v[10];
    if (ScanFields(str, 10, v, 10) != 10) {
        return false;
    }
    // "%u" takes a negative number modulo 2^32, as sscanf does.
    wp.nFlags = static_cast<unsigned>(v[0]);
    wp.nShowCmd = static_cast<unsigned>(v[1]);
    wp.xMin = ClampInt(v[2]);
    wp.yMin = ClampInt(v[3]);
    wp.xMax = ClampInt(v[4]);
    wp.yMax = ClampInt(v[5]);
    wp.nLeft = ClampInt(v[6]);
    wp.nTop = ClampInt(v[7]);
    wp.nRight = ClampInt(v[8]);
    wp.nBottom = ClampInt(v[9]);
    return true;
}

std::string FormatWindowPlacement(const CWindowPlacement& wp) {
    const long long v[10] = {wp.nFlags, wp.nShowCmd, wp.xMin, wp.yMin,   wp.xMax,
                             wp.yMax,   wp.nLeft,    wp.nTop, wp.nRight, wp.nBottom};
    return JoinFields(v, 10);
}

bool LoadWindowPlacement(CWindowPlacement& wp) {
    return ParseWindowPlacement(GetSettingString("Settings", "WindowPos"), wp);
}

void SaveWindowPlacement(const CWindowPlacement& wp) {
    WriteSettingString("Settings", "WindowPos", FormatWindowPlacement(wp));
}

int ScanColumnWidths(const std::string& str, int widths[5]) {
    long long v[5];
    const int nTaken = ScanFields(str, 0, v, 5);
    for (int i = 0; i < nTaken; ++i) {
        widths[i] = ClampInt(v[i]);
    }
    return nTaken;
}

std::string FormatColumnWidths(const int widths[5]) {
    const long long v[5] = {widths[0], widths[1], widths[2], widths[3], widths[4]};
    return JoinFields(v, 5);
}
