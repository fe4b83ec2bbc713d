// Feeds arbitrary bytes to the registry-file parser and walks what it built.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace {

void Walk(CRegistry& registry, HKEY hKey, int nDepth) {
    CRegValue value;
    registry.QueryValue(hKey, "", value);
    std::string strName;
    for (std::uint32_t i = 0; nDepth < 64 && registry.EnumKey(hKey, i, strName); ++i) {
        const HKEY hSub = registry.OpenKey(hKey, strName, KEY_QUERY_VALUE);
        if (hSub == 0) {
            __builtin_trap();  // an enumerated key must open
        }
        Walk(registry, hSub, nDepth + 1);
        registry.CloseKey(hSub);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    CFileRegistry registry;
    registry.m_pWarnings = nullptr;
    registry.LoadText(std::string(reinterpret_cast<const char*>(pData), nSize), "fuzz");
    Walk(registry, HKEY_CURRENT_USER, 0);
    Walk(registry, HKEY_LOCAL_MACHINE, 0);
    ExpandEnvironmentStrings(std::string(reinterpret_cast<const char*>(pData), nSize));
    return 0;
}
