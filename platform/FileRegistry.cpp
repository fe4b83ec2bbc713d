#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "platform/NoCase.h"
#include "platform/Registry.h"
#include "platform/XdgDirs.h"

struct CFileRegistry::CKey {
    std::string strName;
    std::vector<std::unique_ptr<CKey>> subkeys;  // in the order they were created
    // The position in subkeys by lower-case name; kept in step by Add.
    std::unordered_map<std::string, std::size_t> index;
    std::map<std::string, CRegValue> values;  // by lower-case name; "" is the default value

    CKey* Find(std::string_view strChild) const;
    // The subkey of this name in any letter case, created when there is none.
    CKey* Add(std::string_view strChild);
};

namespace {

void AppendUtf8(std::string& str, std::uint32_t c) {
    if (c < 0x80) {
        str += static_cast<char>(c);
    } else if (c < 0x800) {
        str += static_cast<char>(0xC0 | (c >> 6));
        str += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        str += static_cast<char>(0xE0 | (c >> 12));
        str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (c >> 18));
        str += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes) {
    std::string str;
    const std::size_t n = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return static_cast<unsigned char>(bytes[2 * i]) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(str, c);
    }
    return str;
}

std::string_view Trim(std::string_view str) {
    while (!str.empty() && (str.front() == ' ' || str.front() == '\t')) {
        str.remove_prefix(1);
    }
    while (!str.empty() && (str.back() == ' ' || str.back() == '\t' || str.back() == '\r')) {
        str.remove_suffix(1);
    }
    return str;
}

// A quoted string with the escapes \\ and \" at the start of str; the rest of
// str follows it. False when the closing quotation mark is missing.
bool ReadQuoted(std::string_view& str, std::string& strOut) {
    if (str.empty() || str.front() != '"') {
        return false;
    }
    strOut.clear();
    for (std::size_t i = 1; i < str.size(); ++i) {
        if (str[i] == '\\' && i + 1 < str.size()) {
            strOut += str[++i];
        } else if (str[i] == '"') {
            str.remove_prefix(i + 1);
            return true;
        } else {
            strOut += str[i];
        }
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "41,00,42,00": comma-separated bytes in hexadecimal.
bool ReadHexBytes(std::string_view str, std::string& strOut) {
    strOut.clear();
    str = Trim(str);
    while (!str.empty()) {
        const std::size_t nComma = str.find(',');
        const std::string_view item = Trim(str.substr(0, nComma));
        if (item.empty() || item.size() > 2) {
            return false;
        }
        int nByte = 0;
        for (char c : item) {
            const int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            nByte = nByte * 16 + d;
        }
        strOut += static_cast<char>(nByte);
        if (nComma == std::string_view::npos) {
            break;
        }
        str = Trim(str.substr(nComma + 1));
        if (str.empty()) {
            return false;
        }
    }
    return true;
}

// The data after "=" of a value line. bWide: the file is of the version 5
// format, whose hex strings are UTF-16LE.
bool ReadData(std::string_view str, bool bWide, CRegValue& value) {
    str = Trim(str);
    if (!str.empty() && str.front() == '"') {
        value.nType = REG_SZ;
        return ReadQuoted(str, value.strData) && Trim(str).empty();
    }
    const std::string strLower = FoldedLower(str.substr(0, str.find(':') + 1));
    if (strLower == "dword:") {
        const std::string_view digits = Trim(str.substr(6));
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        std::uint32_t n = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            n = n * 16 + static_cast<std::uint32_t>(d);
        }
        value.nType = REG_DWORD;
        value.strData.clear();
        for (int i = 0; i < 4; ++i) {
            value.strData += static_cast<char>((n >> (8 * i)) & 0xFF);
        }
        return true;
    }
    if (strLower == "hex:") {
        value.nType = REG_BINARY;
        return ReadHexBytes(str.substr(4), value.strData);
    }
    if (strLower.size() > 6 && strLower.compare(0, 4, "hex(") == 0 &&
        strLower.compare(strLower.size() - 2, 2, "):") == 0) {
        std::uint32_t nType = 0;
        for (char c : strLower.substr(4, strLower.size() - 6)) {
            const int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            nType = nType * 16 + static_cast<std::uint32_t>(d);
        }
        value.nType = nType;
        if (!ReadHexBytes(str.substr(strLower.size()), value.strData)) {
            return false;
        }
        if (nType == REG_SZ || nType == REG_EXPAND_SZ) {
            std::string strText = bWide ? Utf16ToUtf8(value.strData) : value.strData;
            const std::size_t nZero = strText.find('\0');
            value.strData = strText.substr(0, nZero);
        }
        return true;
    }
    return false;
}

}  // namespace

CFileRegistry::CKey* CFileRegistry::CKey::Find(std::string_view strChild) const {
    const auto it = index.find(FoldedLower(strChild));
    return it == index.end() ? nullptr : subkeys[it->second].get();
}

CFileRegistry::CKey* CFileRegistry::CKey::Add(std::string_view strChild) {
    const auto [it, bNew] = index.try_emplace(FoldedLower(strChild), subkeys.size());
    if (bNew) {
        try {
            auto pKey = std::make_unique<CKey>();
            pKey->strName = strChild;
            subkeys.push_back(std::move(pKey));
        } catch (...) {
            index.erase(it);  // so that the index names no key that is not there
            throw;
        }
    }
    return subkeys[it->second].get();
}

CFileRegistry::CFileRegistry()
    : m_pCurrentUser(std::make_unique<CKey>()), m_pLocalMachine(std::make_unique<CKey>()) {}

CFileRegistry::~CFileRegistry() = default;

void CFileRegistry::LoadFile(const std::string& strPath) {
    auto refuse = [&](const char* pszWhy) {
        if (m_pWarnings != nullptr) {
            std::fprintf(m_pWarnings, "tavrel: %s: %s; it is not read\n", strPath.c_str(), pszWhy);
        }
    };
    constexpr const char* kNotRegular = "not a regular file";
    constexpr const char* kTooLarge = "larger than 64 MiB";
    constexpr const char* kUnreadable = "cannot be read";
    static_assert(kMaxRegistryFileSize == std::uint64_t{64} << 20, "the warning names the limit");

    // Without blocking: a FIFO would otherwise wait for a writer.
    const int fd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int nError = errno;
        if (nError == ENOENT || nError == ENOTDIR) {
            return;
        }
        // A socket, say, cannot be opened at all; it is still no regular file.
        struct stat st {};
        refuse(stat(strPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? kNotRegular : kUnreadable);
        return;
    }
    struct CCloser {
        int fd;
        ~CCloser() { close(fd); }
    } closer{fd};

    struct stat st {};
    if (fstat(fd, &st) != 0) {
        refuse(kUnreadable);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        refuse(kNotRegular);
        return;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxRegistryFileSize) {
        refuse(kTooLarge);
        return;
    }
    // To the end of the file, which may have grown since fstat, but never past
    // the limit: one byte more than it tells that the file is too large.
    std::string strBytes(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t nRead = 0;
    for (;;) {
        if (nRead == strBytes.size()) {
            if (strBytes.size() > kMaxRegistryFileSize) {
                refuse(kTooLarge);
                return;
            }
            strBytes.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(kMaxRegistryFileSize + 1, 2 * strBytes.size() + 4096)));
        }
        const ssize_t n = read(fd, strBytes.data() + nRead, strBytes.size() - nRead);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            refuse(kUnreadable);
            return;
        }
        if (n == 0) {
            break;
        }
        nRead += static_cast<std::size_t>(n);
    }
    strBytes.resize(nRead);
    LoadText(strBytes, strPath);
}

CFileRegistry::CKey* CFileRegistry::MakePath(std::string_view strPath) {
    const std::size_t nSlash = strPath.find('\\');
    const std::string strRoot(strPath.substr(0, nSlash));
    CKey* pKey = nullptr;
    if (EqualNoCase(strRoot, "HKEY_CURRENT_USER") || EqualNoCase(strRoot, "HKCU")) {
        pKey = m_pCurrentUser.get();
    } else if (EqualNoCase(strRoot, "HKEY_LOCAL_MACHINE") || EqualNoCase(strRoot, "HKLM")) {
        pKey = m_pLocalMachine.get();
    } else {
        return nullptr;
    }
    std::string_view rest = nSlash == std::string_view::npos ? "" : strPath.substr(nSlash + 1);
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const std::size_t n = rest.find('\\');
        const std::string_view part = rest.substr(0, n);
        rest = n == std::string_view::npos ? "" : rest.substr(n + 1);
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    if (parts.size() > kMaxRegistryDepth) {
        return nullptr;
    }
    for (const std::string_view part : parts) {
        CKey* pChild = pKey->Find(part);
        if (pChild == nullptr) {
            if (m_nKeys >= kMaxRegistryKeys) {
                return nullptr;
            }
            ++m_nKeys;
            pChild = pKey->Add(part);
        }
        pKey = pChild;
    }
    return pKey;
}

void CFileRegistry::LoadText(std::string_view strBytes, const std::string& strName) {
    std::string strText;
    if (strBytes.size() >= 2 && strBytes[0] == '\xFF' && strBytes[1] == '\xFE') {
        strText = Utf16ToUtf8(strBytes.substr(2));
    } else if (strBytes.substr(0, 3) == "\xEF\xBB\xBF") {
        strText = strBytes.substr(3);
    } else {
        strText = strBytes;
    }

    auto warn = [&](int nLine) {
        if (m_pWarnings == nullptr) {
            return;
        }
        std::fprintf(m_pWarnings, "tavrel: %s:%d: cannot read this line; it is skipped\n",
                     strName.c_str(), nLine);
    };
    std::vector<std::string_view> lines;
    for (std::size_t nStart = 0; nStart < strText.size();) {
        std::size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) {
            nEnd = strText.size();
        }
        lines.push_back(Trim(std::string_view(strText).substr(nStart, nEnd - nStart)));
        nStart = nEnd + 1;
    }

    bool bHeader = false;
    bool bWide = true;
    CKey* pKey = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int nLine = static_cast<int>(i + 1);
        std::string strLine(lines[i]);
        if (strLine.empty() || strLine.front() == ';') {
            continue;
        }
        if (!bHeader) {
            bHeader = true;
            if (strLine == "REGEDIT4") {
                bWide = false;
                continue;
            }
            if (strLine == "Windows Registry Editor Version 5.00") {
                continue;
            }
            warn(nLine);
        }
        if (strLine.front() == '[') {
            if (strLine.back() != ']' || strLine.size() < 3 || strLine[1] == '-') {
                warn(nLine);
                pKey = nullptr;
                continue;
            }
            pKey = MakePath(std::string_view(strLine).substr(1, strLine.size() - 2));
            if (pKey == nullptr) {
                warn(nLine);
            }
            continue;
        }
        // Hex data may go on over lines that end with a backslash.
        while (strLine.back() == '\\' && i + 1 < lines.size() &&
               strLine.find("=hex") != std::string::npos) {
            strLine.pop_back();
            strLine += lines[++i];
        }
        std::string_view rest = strLine;
        std::string strValueName;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (!ReadQuoted(rest, strValueName)) {
            warn(nLine);
            continue;
        }
        rest = Trim(rest);
        CRegValue value;
        if (rest.empty() || rest.front() != '=' || !ReadData(rest.substr(1), bWide, value)) {
            warn(nLine);
            continue;
        }
        if (pKey != nullptr) {
            pKey->values[FoldedLower(strValueName)] = std::move(value);
        }
    }
}

CFileRegistry::CKey* CFileRegistry::KeyOf(HKEY hKey) const {
    if (hKey == HKEY_CURRENT_USER) {
        return m_pCurrentUser.get();
    }
    if (hKey == HKEY_LOCAL_MACHINE) {
        return m_pLocalMachine.get();
    }
    const auto it = m_open.find(hKey);
    return it == m_open.end() ? nullptr : it->second;
}

HKEY CFileRegistry::OpenKey(HKEY hParent, std::string_view strSubKey, std::uint32_t) {
    CKey* pKey = KeyOf(hParent);
    while (pKey != nullptr && !strSubKey.empty()) {
        const std::size_t n = strSubKey.find('\\');
        const std::string_view part = strSubKey.substr(0, n);
        strSubKey = n == std::string_view::npos ? "" : strSubKey.substr(n + 1);
        if (!part.empty()) {
            pKey = pKey->Find(part);
        }
    }
    if (pKey == nullptr) {
        return 0;
    }
    const HKEY hKey = m_hNext++;
    m_open[hKey] = pKey;
    return hKey;
}

bool CFileRegistry::QueryValue(HKEY hKey, std::string_view strName, CRegValue& value) {
    const CKey* pKey = KeyOf(hKey);
    if (pKey == nullptr) {
        return false;
    }
    const auto it = pKey->values.find(FoldedLower(strName));
    if (it == pKey->values.end()) {
        return false;
    }
    value = it->second;
    return true;
}

bool CFileRegistry::EnumKey(HKEY hKey, std::uint32_t nIndex, std::string& strName) {
    const CKey* pKey = KeyOf(hKey);
    if (pKey == nullptr || nIndex >= pKey->subkeys.size()) {
        return false;
    }
    strName = pKey->subkeys[nIndex]->strName;
    return true;
}

void CFileRegistry::CloseKey(HKEY hKey) {
    m_open.erase(hKey);
}

std::unique_ptr<CRegistry> OpenSystemRegistry() {
    auto pRegistry = std::make_unique<CFileRegistry>();
    pRegistry->LoadFile(RegistryFilePath());
    return pRegistry;
}

std::string RegistryFilePath() {
    const char* pszFile = std::getenv("TAVREL_REGISTRY");
    if (pszFile != nullptr && *pszFile != '\0') {
        return pszFile;
    }
    return ConfigFilePath("registry.reg");
}

std::string ExpandEnvironmentStrings(std::string_view strText) {
    std::string strOut;
    std::size_t i = 0;
    while (i < strText.size()) {
        const std::size_t nOpen = strText.find('%', i);
        const std::size_t nClose =
            nOpen == std::string_view::npos ? nOpen : strText.find('%', nOpen + 1);
        if (nClose == std::string_view::npos) {
            strOut += strText.substr(i);
            break;
        }
        strOut += strText.substr(i, nOpen - i);
        const std::string strName(strText.substr(nOpen + 1, nClose - nOpen - 1));
        const char* pszValue = strName.empty() ? nullptr : std::getenv(strName.c_str());
        if (pszValue != nullptr) {
            strOut += pszValue;
        } else {
            strOut += strText.substr(nOpen, nClose - nOpen + 1);
        }
        i = nClose + 1;
    }
    return strOut;
}
