// The registry and environment expansion on Windows. Keys are written with
// the system's own reg tool, as a user's browsers left them. (No windows.h
// here: its names of the registry would meet the program's own.)
#include <gtest/gtest.h>
#include <process.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/Registry.h"

namespace {

constexpr const char* kTestKey = "Software\\Qelt\\TavrelTest";
const std::string kUserKey = std::string("HKCU\\") + kTestKey;

// Runs the system's reg tool with exactly these arguments and waits for it.
int Reg(const std::vector<std::string>& args) {
    std::vector<std::string> quoted{"reg.exe"};
    for (const std::string& strArg : args) {
        quoted.push_back('"' + strArg + '"');  // none of them holds a quote
    }
    std::vector<const char*> argv;
    for (const std::string& strArg : quoted) {
        argv.push_back(strArg.c_str());
    }
    argv.push_back(nullptr);
    // By its full path: a search of PATH fails after the first run here.
    const std::string strReg = GetEnv("SystemRoot") + "\\system32\\reg.exe";
    return static_cast<int>(_spawnv(_P_WAIT, strReg.c_str(), argv.data()));
}

int AddValue(const std::string& strKey, const char* pszName, const char* pszType,
             const std::string& strData) {
    return Reg({"add", strKey, "/v", pszName, "/t", pszType, "/d", strData, "/f"});
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { Reg({"delete", kUserKey, "/f"}); }
    void TearDown() override { Reg({"delete", kUserKey, "/f"}); }
    const std::unique_ptr<CRegistry> m_pRegistry = OpenSystemRegistry();
};

}  // namespace

TEST_F(RegistryTest, ReadsTheValuesRegWrote) {
    ASSERT_EQ(AddValue(kUserKey, "Plain", "REG_SZ", "C:\\Plain Path\\x"), 0);
    ASSERT_EQ(AddValue(kUserKey, "Expand", "REG_EXPAND_SZ", "%USERPROFILE%\\Favorites"), 0);
    ASSERT_EQ(AddValue(kUserKey, "Number", "REG_DWORD", "258"), 0);
    const std::string strLong(400, 'x');
    ASSERT_EQ(AddValue(kUserKey, "Long", "REG_SZ", strLong), 0);
    ASSERT_EQ(Reg({"add", kUserKey + "\\Users\\beta", "/f"}), 0);
    ASSERT_EQ(Reg({"add", kUserKey + "\\Users\\alpha", "/f"}), 0);

    const HKEY hKey = m_pRegistry->OpenKey(HKEY_CURRENT_USER, kTestKey, KEY_QUERY_VALUE);
    ASSERT_NE(hKey, 0u);
    CRegValue value;
    ASSERT_TRUE(m_pRegistry->QueryValue(hKey, "plain", value));  // names without case
    EXPECT_EQ(value.nType, REG_SZ);
    EXPECT_EQ(value.strData, "C:\\Plain Path\\x");

    ASSERT_TRUE(m_pRegistry->QueryValue(hKey, "Expand", value));
    EXPECT_EQ(value.nType, REG_EXPAND_SZ);
    EXPECT_EQ(value.Text(), "%USERPROFILE%\\Favorites");
    EXPECT_EQ(ExpandEnvironmentStrings(value.Text()), GetEnv("USERPROFILE") + "\\Favorites");

    // A number where a path belongs reads as its four bytes, not as text.
    ASSERT_TRUE(m_pRegistry->QueryValue(hKey, "Number", value));
    EXPECT_EQ(value.nType, REG_DWORD);
    EXPECT_EQ(value.strData, std::string("\x02\x01\0\0", 4));
    EXPECT_EQ(value.Text(), "\x02\x01");

    // Longer than a path buffer, and read whole all the same.
    ASSERT_TRUE(m_pRegistry->QueryValue(hKey, "Long", value));
    EXPECT_EQ(value.Text(), strLong);
    EXPECT_FALSE(m_pRegistry->QueryValue(hKey, "Missing", value));
    m_pRegistry->CloseKey(hKey);

    EXPECT_EQ(
        m_pRegistry->OpenKey(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Nope", KEY_QUERY_VALUE),
        0u);
    const HKEY hUsers = m_pRegistry->OpenKey(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Users",
                                             KEY_ENUMERATE_SUB_KEYS);
    ASSERT_NE(hUsers, 0u);
    std::string strName;
    std::vector<std::string> names;
    for (std::uint32_t i = 0; m_pRegistry->EnumKey(hUsers, i, strName); ++i) {
        names.push_back(strName);
    }
    m_pRegistry->CloseKey(hUsers);
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "beta"}));
}

// The machine's keys are read as the user's are.
TEST_F(RegistryTest, ReadsTheMachineKeys) {
    const std::string strMachineKey = std::string("HKLM\\") + kTestKey;
    ASSERT_EQ(AddValue(strMachineKey + "\\Users\\demo", "DirRoot", "REG_SZ", "C:\\Profiles\\demo"),
              0);
    const HKEY hKey = m_pRegistry->OpenKey(
        HKEY_LOCAL_MACHINE, std::string(kTestKey) + "\\Users\\demo", KEY_QUERY_VALUE);
    ASSERT_NE(hKey, 0u);
    CRegValue value;
    EXPECT_TRUE(m_pRegistry->QueryValue(hKey, "DirRoot", value));
    m_pRegistry->CloseKey(hKey);
    Reg({"delete", strMachineKey, "/f"});
    EXPECT_EQ(value.Text(), "C:\\Profiles\\demo");
}

TEST_F(RegistryTest, ReadsAnImportedExportFile) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tavrel-import-" + std::to_string(_getpid()) + ".reg");
    // "%TEMP%\x" as an expandable string, in the editor's 8-bit hex form.
    std::ofstream(path, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" << kTestKey << "]\r\n"
        << "\"Favorites\"=hex(2):25,54,45,4d,50,25,5c,78,00\r\n";
    ASSERT_EQ(Reg({"import", path.string()}), 0);
    std::filesystem::remove(path);
    const HKEY hKey = m_pRegistry->OpenKey(HKEY_CURRENT_USER, kTestKey, KEY_QUERY_VALUE);
    CRegValue value;
    ASSERT_TRUE(m_pRegistry->QueryValue(hKey, "Favorites", value));
    m_pRegistry->CloseKey(hKey);
    EXPECT_EQ(value.nType, REG_EXPAND_SZ);
    EXPECT_EQ(ExpandEnvironmentStrings(value.Text()), GetEnv("TEMP") + "\\x");
}

TEST(Environment, ExpandsKnownNamesAndKeepsUnknownOnes) {
    _putenv_s("TAVREL_TEST_VAR", "value");
    EXPECT_EQ(ExpandEnvironmentStrings("a%TAVREL_TEST_VAR%b%TAVREL_NO_SUCH%"),
              "avalueb%TAVREL_NO_SUCH%");
    const std::string strLong(2000, 'y');
    _putenv_s("TAVREL_TEST_VAR", strLong.c_str());
    EXPECT_EQ(ExpandEnvironmentStrings("%TAVREL_TEST_VAR%\\z"), strLong + "\\z");
    _putenv_s("TAVREL_TEST_VAR", "");
    EXPECT_EQ(ConfigFilePath("settings.conf"), "");  // the registry holds the settings
}
