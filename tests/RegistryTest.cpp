#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Registry.h"
#include "tests/TestSupport.h"

namespace {

// The value of one key, or a type of REG_NONE when it cannot be read.
CRegValue Query(CRegistry& registry, HKEY hRoot, const char* pszKey, const char* pszName) {
    CRegValue value;
    const HKEY hKey = registry.OpenKey(hRoot, pszKey, KEY_QUERY_VALUE);
    if (hKey != 0) {
        registry.QueryValue(hKey, pszName, value);
        registry.CloseKey(hKey);
    }
    return value;
}

std::vector<std::string> Subkeys(CRegistry& registry, HKEY hRoot, const char* pszKey) {
    std::vector<std::string> names;
    const HKEY hKey = registry.OpenKey(hRoot, pszKey, KEY_ENUMERATE_SUB_KEYS);
    std::string strName;
    for (std::uint32_t i = 0; hKey != 0 && registry.EnumKey(hKey, i, strName); ++i) {
        names.push_back(strName);
    }
    registry.CloseKey(hKey);
    return names;
}

std::string Utf16Le(const std::string& strAscii) {
    std::string str = "\xFF\xFE";
    for (char c : strAscii) {
        str += c;
        str += '\0';
    }
    return str;
}

constexpr const char* kVersion5 =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
    "\"Plain\"=\"C:\\\\Program Files\\\\\\\"Quoted\\\"\"\r\n"
    "@=\"the default\"\r\n"
    "\"Count\"=dword:0000012c\r\n"
    "; %HOME%/x as UTF-16LE, over two lines\r\n"
    "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,\\\r\n"
    "  00,78,00,00,00\r\n"
    "\"Blob\"=hex:01,ff\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Users\\zeta]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Users\\Alpha]\r\n"
    "[hkey_current_user\\SOFTWARE\\test]\r\n"
    "\"Later\"=\"merged\"\r\n"
    "\"plain\"=\"replaced\"\r\n";

}  // namespace

TEST(RegistryFile, ReadsEveryValueKindOfTheVersion5Format) {
    CFileRegistry registry;
    registry.LoadText(kVersion5, "test.reg");
    const char* pszKey = "Software\\Test";
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Blob").strData, "\x01\xff");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Blob").nType, REG_BINARY);
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "").strData, "the default");
    const CRegValue count = Query(registry, HKEY_CURRENT_USER, pszKey, "COUNT");
    EXPECT_EQ(count.nType, REG_DWORD);
    EXPECT_EQ(count.strData, std::string("\x2c\x01\0\0", 4));
    const CRegValue expand = Query(registry, HKEY_CURRENT_USER, pszKey, "Expand");
    EXPECT_EQ(expand.nType, REG_EXPAND_SZ);
    EXPECT_EQ(expand.strData, "%HOME%/x");
    // A later section of the same key, in other letter case, merges into it.
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Later").strData, "merged");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, pszKey, "Plain").strData, "replaced");
    EXPECT_EQ(Subkeys(registry, HKEY_LOCAL_MACHINE, "software\\USERS"),
              (std::vector<std::string>{"zeta", "Alpha"}));
    EXPECT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Test", KEY_QUERY_VALUE), 0u);
}

TEST(RegistryFile, UnescapesStrings) {
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"C:\\\\Dir\\\\\\\"x\\\"\"\n", "t");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "A").strData, "C:\\Dir\\\"x\"");
}

TEST(RegistryFile, ReadsSingleByteExpandableStringsOfRegedit4) {
    CFileRegistry registry;
    registry.LoadText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"E\"=hex(2):25,41,25,00\r\n",
                      "t");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "E").strData, "%A%");
}

TEST(RegistryFile, LoadsAFileWrittenByTheRegistryEditorInUtf16) {
    CTempDir dir;
    dir.Write("r.reg", Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Shell Folders]\r\n"
                               "\"Favorites\"=\"C:\\\\Fav\"\r\n"));
    CFileRegistry registry;
    registry.LoadFile(dir / "r.reg");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "Software\\Shell Folders", "favorites").strData,
              "C:\\Fav");
}

TEST(RegistryFile, SkipsMalformedLinesWithAWarningAndKeepsTheRest) {
    CFileRegistry registry;
    testing::internal::CaptureStderr();
    registry.LoadText(
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"one\"\n\"B\"=nonsense\n\"C=\"x\"\n"
        "\"D\"=dword:12345678\n[HKEY_CLASSES_ROOT\\Other]\n\"E\"=\"e\"\n",
        "bad.reg");
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_NE(strErr.find("bad.reg:4:"), std::string::npos) << strErr;
    EXPECT_NE(strErr.find("bad.reg:5:"), std::string::npos) << strErr;
    EXPECT_NE(strErr.find("bad.reg:7:"), std::string::npos) << strErr;
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "A").strData, "one");
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "D").nType, REG_DWORD);
    EXPECT_EQ(Query(registry, HKEY_CURRENT_USER, "K", "E").nType, REG_NONE);
}

TEST(RegistryFile, AMissingFileIsAnEmptyRegistry) {
    CTempDir dir;
    CFileRegistry registry;
    registry.LoadFile(dir / "absent.reg");
    EXPECT_EQ(registry.OpenKey(HKEY_CURRENT_USER, "Software", KEY_QUERY_VALUE), 0u);
    EXPECT_NE(registry.OpenKey(HKEY_CURRENT_USER, "", KEY_QUERY_VALUE), 0u);
}

TEST(RegistryFile, IsFoundThroughTheEnvironment) {
    const CEnvironmentGuard guard({"TAVREL_REGISTRY", "XDG_CONFIG_HOME", "HOME"});
    setenv("TAVREL_REGISTRY", "/r/one.reg", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(RegistryFilePath(), "/r/one.reg");
    unsetenv("TAVREL_REGISTRY");
    EXPECT_EQ(RegistryFilePath(), "/cfg/tavrel/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryFilePath(), "/home/u/.config/tavrel/registry.reg");
}

TEST(RegistryFile, ExpandsKnownEnvironmentReferencesOnly) {
    setenv("TAVREL_X", "ex", 1);
    unsetenv("TAVREL_UNSET");
    const std::pair<const char*, const char*> cases[] = {
        {"%TAVREL_X%/a", "ex/a"},
        {"a%TAVREL_UNSET%b", "a%TAVREL_UNSET%b"},
        {"%TAVREL_X%%TAVREL_X%", "exex"},
        {"50%", "50%"},
        {"%%", "%%"},
        {"%TAVREL_UNSET%TAVREL_X%", "%TAVREL_UNSET%TAVREL_X%"},
    };
    for (const auto& [pszIn, pszOut] : cases) {
        EXPECT_EQ(ExpandEnvironmentStrings(pszIn), pszOut) << pszIn;
    }
}
