// A read-only registry: the keys and values that the browsers left behind.
// On Windows it is the system's registry; on Linux a file in the registry
// editor's export format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Root keys and open keys are handles, as in the Windows registry.
using HKEY = std::uintptr_t;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

// Value types.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;

// Access rights asked for when a key is opened.
constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;

struct CRegValue {
    std::uint32_t nType = REG_NONE;
    // Strings as text without the terminating zero; other types as raw bytes
    // (a REG_DWORD as four bytes, least significant first).
    std::string strData;

    // The value as a C string reads it: up to its first zero byte.
    std::string Text() const { return strData.substr(0, strData.find('\0')); }
};

class CRegistry {
public:
    virtual ~CRegistry() = default;
    // Opens a subkey of a root or open key; 0 when it does not exist.
    virtual HKEY OpenKey(HKEY hParent, std::string_view strSubKey, std::uint32_t nAccess) = 0;
    virtual bool QueryValue(HKEY hKey, std::string_view strName, CRegValue& value) = 0;
    // The name of the subkey at nIndex, in the order the keys were created.
    virtual bool EnumKey(HKEY hKey, std::uint32_t nIndex, std::string& strName) = 0;
    virtual void CloseKey(HKEY hKey) = 0;
};

// The system's registry, read only.
std::unique_ptr<CRegistry> OpenSystemRegistry();

#ifndef _WIN32

// Real exports are far smaller; a bigger file is refused rather than read into memory.
constexpr std::uint64_t kMaxRegistryFileSize = std::uint64_t{64} << 20;
// A key deeper than the Windows registry allows, or beyond this many keys, is
// skipped like a line that cannot be read: the file cannot make the registry
// many times its own size in memory, nor deep enough to overflow the stack.
constexpr std::size_t kMaxRegistryDepth = 512;
constexpr std::size_t kMaxRegistryKeys = 1'000'000;

// A registry loaded from a file exported by the registry editor ("REGEDIT4" or
// "Windows Registry Editor Version 5.00", UTF-16LE or 8-bit). Lines it cannot
// read are skipped with a warning naming the file and the line.
class CFileRegistry : public CRegistry {
public:
    CFileRegistry();
    ~CFileRegistry() override;

    std::FILE* m_pWarnings = stderr;  // null keeps the warnings back
    // A missing file is an empty registry. So, with a warning naming the file,
    // is one that is not a regular file (a FIFO, a device, a directory, a
    // socket), is larger than kMaxRegistryFileSize or cannot be read to its end.
    // The file is opened without blocking and never read in part.
    void LoadFile(const std::string& strPath);
    // strName names the source in warnings.
    void LoadText(std::string_view strBytes, const std::string& strName);

    HKEY OpenKey(HKEY hParent, std::string_view strSubKey, std::uint32_t nAccess) override;
    bool QueryValue(HKEY hKey, std::string_view strName, CRegValue& value) override;
    bool EnumKey(HKEY hKey, std::uint32_t nIndex, std::string& strName) override;
    void CloseKey(HKEY hKey) override;

    struct CKey;

private:
    CKey* KeyOf(HKEY hKey) const;
    CKey* MakePath(std::string_view strPath);

    std::unique_ptr<CKey> m_pCurrentUser;
    std::unique_ptr<CKey> m_pLocalMachine;
    std::map<HKEY, CKey*> m_open;
    HKEY m_hNext = 1;
    std::size_t m_nKeys = 0;
};

// The file that holds the registry: TAVREL_REGISTRY, else
// $XDG_CONFIG_HOME/tavrel/registry.reg, else ~/.config/tavrel/registry.reg.
std::string RegistryFilePath();
#endif

// Replaces each %NAME% by the value of the environment variable NAME; an
// unknown name stays as written.
std::string ExpandEnvironmentStrings(std::string_view strText);
