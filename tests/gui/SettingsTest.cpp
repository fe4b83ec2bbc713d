#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/memconf.h>

#include <cstdlib>

#include "tests/TestSupport.h"
#include "ui/Settings.h"

namespace {

// Collects the log messages that wx would show in a message box.
class CLogRecorder : public wxLog {
public:
    std::vector<wxString> m_messages;

protected:
    void DoLogTextAtLevel(wxLogLevel, const wxString& str) override { m_messages.push_back(str); }
};

// A temporary HOME and XDG_CONFIG_HOME, no settings installed at the start.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        delete wxConfigBase::Set(nullptr);
    }
    void TearDown() override { delete wxConfigBase::Set(nullptr); }
    std::string File() const { return m_dir / "config/tavrel/settings.conf"; }
    void WriteFile(const std::string& strBytes) const {
        m_dir.Write("config/tavrel/settings.conf", strBytes);
    }
    std::string ReadFile() const { return ReadFileBytes(File()); }

    CEnvironmentGuard m_env{{"HOME", "XDG_CONFIG_HOME"}};
    CTempDir m_dir;
};

TEST_F(SettingsTest, TheFileFollowsTheXdgLayoutAndItsDirectoryIsMadeOnWriting) {
    const std::string strHomeFile = m_dir / "home/.config/tavrel/settings.conf";
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(SettingsFilePath(), strHomeFile);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), strHomeFile);
    setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    EXPECT_EQ(SettingsFilePath(), File());

    // Without settings installed nothing is read or written.
    WriteSettingInt("Settings", "ToolBar", 1);
    EXPECT_EQ(GetSettingInt("Settings", "ToolBar", 5), 5);
    EXPECT_EQ(GetSettingString("Settings", "WindowPos", "dflt"), "dflt");

    InstallSettings();
    WriteSettingInt("Settings", "StatusBar", -12);
    CWindowPlacement wp;
    wp.nShowCmd = 3;
    wp.xMin = wp.yMin = wp.xMax = wp.yMax = -1;
    wp.nLeft = -40;
    wp.nRight = 740;
    wp.nBottom = 470;
    SaveWindowPlacement(wp);
    EXPECT_TRUE(wxConfigBase::Get()->Flush());
    EXPECT_EQ(ReadFile(), "[Settings]\nStatusBar=-12\nWindowPos=0,3,-1,-1,-1,-1,-40,0,740,470\n");
    InstallSettings();
    EXPECT_EQ(GetSettingInt("Settings", "StatusBar", 0), -12);
    CWindowPlacement back;
    ASSERT_TRUE(LoadWindowPlacement(back));
    EXPECT_EQ(FormatWindowPlacement(back), FormatWindowPlacement(wp));
}

TEST_F(SettingsTest, StringsComeBackByteForByte) {
    std::string strAllBytes;
    for (int c = 1; c < 256; ++c) {
        strAllBytes += static_cast<char>(c);
    }
    const std::string values[] = {
        "0,caf\xE9",     "0,caf\xC3\xA9 \xE2\x82\xAC", "0,a,b,,c", "  spaced  ", "\\ \"q\" ;#[x]=",
        "tab\tnl\ncr\r", "$HOME ${HOME} %PATH%",       strAllBytes};
    InstallSettings();
    for (int i = 0; i < 8; ++i) {
        WriteSettingString("Patterns", std::to_string(i).c_str(), values[i]);
    }
    InstallSettings();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(GetSettingString("Patterns", std::to_string(i).c_str()), values[i]) << i;
    }
    // UTF-8 stays readable in the file.
    EXPECT_NE(ReadFile().find("1=0,caf\xC3\xA9 \xE2\x82\xAC\n"), std::string::npos);

    // Another wxConfig back end may hold text beyond U+00FF: it reads as UTF-8.
    delete wxConfigBase::Set(new wxMemoryConfig);
    wxConfigBase::Get()->Write("/Patterns/0", wxString::FromUTF8("\xE2\x82\xAC"));
    EXPECT_EQ(GetSettingString("Patterns", "0"), "\xE2\x82\xAC");
}

TEST_F(SettingsTest, ACorruptFileGivesWhatCanBeReadSilentlyAndStaysWritable) {
    std::string strJunk;
    for (unsigned n = 12345, i = 0; i < 600; ++i) {
        n = n * 1103515245u + 12345u;
        strJunk += static_cast<char>(n >> 16);
    }
    WriteFile(strJunk + "\n[Settings]\nno equals sign\nToolBar=1\nStatusBar=yes\nA=1x\n" +
              "B=99999999999\nC=0x10\n[broken\n\xFF\xFE=\x80\n[Patterns]\n0=0,caf\xC3\xA9\n1=0,"
              "caf\xE9\n");
    CLogRecorder* pLog = new CLogRecorder;
    wxLog* pOldLog = wxLog::SetActiveTarget(pLog);
    for (int nPass = 0; nPass < 2; ++nPass) {
        InstallSettings();
        EXPECT_EQ(GetSettingInt("Settings", "ToolBar", 0), 1);
        for (const char* pszJunk : {"StatusBar", "A", "B", "C"}) {
            EXPECT_EQ(GetSettingInt("Settings", pszJunk, -4), -4) << pszJunk;
        }
        EXPECT_EQ(GetSettingString("Patterns", "0"), "0,caf\xC3\xA9");
        EXPECT_EQ(GetSettingString("Patterns", "1"), "0,caf\xE9");
        WriteSettingString("Settings", "ColumnWidth", "1,2,3,4,5");
    }
    EXPECT_EQ(GetSettingString("Settings", "ColumnWidth"), "1,2,3,4,5");
    wxLog::SetActiveTarget(pOldLog);
    EXPECT_TRUE(pLog->m_messages.empty()) << pLog->m_messages.front();
    delete pLog;
}

TEST(WindowPlacement, AllTenFieldsOrNothing) {
    CWindowPlacement wp;
    ASSERT_TRUE(ParseWindowPlacement("2,3,-1,-1,-1,-1,10,20,710,470", wp));
    EXPECT_EQ(FormatWindowPlacement(wp), "2,3,-1,-1,-1,-1,10,20,710,470");
    for (const char* psz : {"", "0,1,-1,-1,-1,-1,10,20,500", "0,1,-1,-1,-1,-1,10,20,500,x",
                            "0,1,-1,-1,-1,-1,10,20,500;9", "0,1,-1,-1,-1,-1,10,20,500 ,9"}) {
        EXPECT_FALSE(ParseWindowPlacement(psz, wp)) << psz;
        EXPECT_EQ(FormatWindowPlacement(wp), "2,3,-1,-1,-1,-1,10,20,710,470") << psz;
    }
    // A window left on a screen that is gone keeps its rectangle.
    ASSERT_TRUE(ParseWindowPlacement("0,1,-1,-1,-1,-1,-3000,-2000,-2200,-1400", wp));
    EXPECT_EQ(wp.nLeft, -3000);
    EXPECT_EQ(wp.nBottom, -1400);
}

TEST(ColumnWidths, LeadingFieldsReplaceTheDefaults) {
    const struct {
        const char* pszValue;
        int nTaken;
        std::vector<int> expected;
    } cases[] = {
        {"250,120", 2, {250, 120, 70, 35, 800}},  {"120,x", 1, {120, 100, 70, 35, 800}},
        {"0x10,010,08", 3, {16, 8, 0, 35, 800}},  {"junk", 0, {300, 100, 70, 35, 800}},
        {" 1, -2,+3,4,5,6", 5, {1, -2, 3, 4, 5}}, {"7 ,8", 1, {7, 100, 70, 35, 800}},
    };
    for (const auto& c : cases) {
        int widths[5] = {300, 100, 70, 35, 800};
        EXPECT_EQ(ScanColumnWidths(c.pszValue, widths), c.nTaken) << c.pszValue;
        EXPECT_EQ(std::vector<int>(widths, widths + 5), c.expected) << c.pszValue;
    }
    const int widths[5] = {300, 0x1F4, 70, -35, 800};
    EXPECT_EQ(FormatColumnWidths(widths), "300,500,70,-35,800");
}

}  // namespace
