// The Windows registry, read through the ANSI registry API.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/Registry.h"

// The calls are declared here with the handle type of Registry.h, whose names
// windows.h would define differently; on x64 a key handle is one pointer wide.
extern "C" {
__declspec(dllimport) long __stdcall RegOpenKeyExA(HKEY, const char*, unsigned long, unsigned long,
                                                   HKEY*);
__declspec(dllimport) long __stdcall RegQueryValueExA(HKEY, const char*, unsigned long*,
                                                      unsigned long*, unsigned char*,
                                                      unsigned long*);
__declspec(dllimport) long __stdcall RegEnumKeyExA(HKEY, unsigned long, char*, unsigned long*,
                                                   unsigned long*, char*, unsigned long*, void*);
__declspec(dllimport) long __stdcall RegCloseKey(HKEY);
__declspec(dllimport) unsigned long __stdcall ExpandEnvironmentStringsA(const char*, char*,
                                                                        unsigned long);
}

namespace {

constexpr long kSuccess = 0;
constexpr long kMoreData = 234;
// The longest key name the registry allows, with its terminating zero.
constexpr unsigned long kMaxKeyName = 256;
// Values are read whole; one larger than this is not a path and is refused.
constexpr unsigned long kMaxValue = 1 << 20;

static_assert(sizeof(HKEY) == sizeof(void*), "a key handle is a pointer");

class CWinRegistry : public CRegistry {
public:
    HKEY OpenKey(HKEY hParent, std::string_view strSubKey, std::uint32_t nAccess) override {
        HKEY hKey = 0;
        const std::string strName(strSubKey);
        return RegOpenKeyExA(hParent, strName.c_str(), 0, nAccess, &hKey) == kSuccess ? hKey : 0;
    }

    bool QueryValue(HKEY hKey, std::string_view strName, CRegValue& value) override {
        const std::string strValueName(strName);
        unsigned long nType = 0;
        unsigned long nSize = 0;
        // A value can grow between the two calls; its new size is asked again.
        for (int nTry = 0; nTry < 4; ++nTry) {
            if (RegQueryValueExA(hKey, strValueName.c_str(), nullptr, &nType, nullptr, &nSize) !=
                    kSuccess ||
                nSize > kMaxValue) {
                return false;
            }
            std::string strData(nSize, '\0');
            const long nResult =
                RegQueryValueExA(hKey, strValueName.c_str(), nullptr, &nType,
                                 reinterpret_cast<unsigned char*>(strData.data()), &nSize);
            if (nResult == kMoreData) {
                continue;
            }
            if (nResult != kSuccess) {
                return false;
            }
            strData.resize(nSize);
            const bool bString = nType == REG_SZ || nType == REG_EXPAND_SZ;
            while (bString && !strData.empty() && strData.back() == '\0') {
                strData.pop_back();
            }
            value.nType = nType;
            value.strData = std::move(strData);
            return true;
        }
        return false;
    }

    bool EnumKey(HKEY hKey, std::uint32_t nIndex, std::string& strName) override {
        char szName[kMaxKeyName] = {};
        unsigned long nLength = kMaxKeyName;
        if (RegEnumKeyExA(hKey, nIndex, szName, &nLength, nullptr, nullptr, nullptr, nullptr) !=
            kSuccess) {
            return false;
        }
        strName.assign(szName, nLength);
        return true;
    }

    void CloseKey(HKEY hKey) override {
        if (hKey != 0) {
            RegCloseKey(hKey);
        }
    }
};

}  // namespace

std::unique_ptr<CRegistry> OpenSystemRegistry() {
    return std::make_unique<CWinRegistry>();
}

// Expanded whole, however long; "" when the system cannot expand it.
std::string ExpandEnvironmentStrings(std::string_view strText) {
    const std::string strSource(strText);
    std::vector<char> buffer(strSource.size() + 261);
    for (int nTry = 0; nTry < 4; ++nTry) {
        const unsigned long nNeeded = ExpandEnvironmentStringsA(
            strSource.c_str(), buffer.data(), static_cast<unsigned long>(buffer.size()));
        if (nNeeded == 0) {
            return "";
        }
        if (nNeeded <= buffer.size()) {
            return std::string(buffer.data());
        }
        buffer.resize(nNeeded);
    }
    return "";
}

// Windows keeps the settings in the registry.
std::string ConfigFilePath(const char*) {
    return "";
}
