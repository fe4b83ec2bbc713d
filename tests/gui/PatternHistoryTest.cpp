#include <gtest/gtest.h>
#include <wx/combobox.h>
#include <wx/config.h>
#include <wx/frame.h>

#include <cstdlib>

#include "tests/TestSupport.h"
#include "tests/gui/GuiTest.h"
#include "ui/Settings.h"
#include "ui/WxText.h"
#include "view/PatternHistory.h"

namespace {

using Texts = std::vector<std::string>;

// Settings in a temporary HOME, and a filter box on the test frame.
class PatternHistoryTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        InstallSettings();
        m_pBox = NewBox();
    }
    void TearDown() override {
        for (wxComboBox* pBox : m_boxes) {
            pBox->Destroy();
        }
        delete wxConfigBase::Set(nullptr);
    }

    wxComboBox* NewBox() {
        wxComboBox* pBox = new wxComboBox(g_pTestFrame, wxID_ANY);
        pBox->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { ++m_nSelEvents; });
        m_boxes.push_back(pBox);
        return pBox;
    }
    static void Store(const std::vector<std::pair<const char*, std::string>>& values) {
        for (const auto& [pszName, strValue] : values) {
            WriteSettingString("Patterns", pszName, strValue);
        }
    }
    // Types the text and clicks the list.
    static void Use(CPatternHistory& history, wxComboBox& box, const std::string& str) {
        box.ChangeValue(wxString::FromUTF8(str));
        history.Remember(str, 0, box);
    }
    // The history's texts, checked against the box's list, which shows them as text.
    static Texts Both(const CPatternHistory& history, const wxComboBox& box) {
        Texts texts;
        std::vector<wxString> shown;
        for (int i = 0; i < history.GetCount(); ++i) {
            texts.push_back(history.GetEntry(i)->m_strText);
            shown.push_back(TextFromBytes(texts.back()));
        }
        EXPECT_EQ(box.GetStrings(), wxArrayString(shown.size(), shown.data()));
        return texts;
    }

    CEnvironmentGuard m_env{{"HOME", "XDG_CONFIG_HOME"}};
    CTempDir m_dir;
    std::vector<wxComboBox*> m_boxes;
    wxComboBox* m_pBox = nullptr;
    int m_nSelEvents = 0;
};

TEST_F(PatternHistoryTest, AKnownPatternMovesFirstAndANewOneIsInsertedFirst) {
    Store({{"0", "0,a"}, {"1", "0,b"}, {"2", "0,c"}});
    CPatternHistory history("Patterns", 16);
    history.LoadInto(*m_pBox);
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"a", "b", "c"}));
    EXPECT_EQ(m_pBox->GetSelection(), 0);
    EXPECT_EQ(m_pBox->GetValue(), "a");
    EXPECT_EQ(m_nSelEvents, 0);  // nothing filters before the import has run

    m_pBox->SetSelection(2);
    history.Remember("c", 0, *m_pBox);
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"c", "a", "b"}));
    EXPECT_EQ(m_pBox->GetSelection(), 0);
    EXPECT_EQ(m_pBox->GetValue(), "c");

    Use(history, *m_pBox, "d");
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"d", "c", "a", "b"}));
    EXPECT_EQ(m_pBox->GetValue(), "d");
    history.Remember("d", 5, *m_pBox);  // already first: only the number changes
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"d", "c", "a", "b"}));
    EXPECT_EQ(history.GetEntry(0)->m_nValue, 5);

    // Letter case counts, as do bytes that look alike in the box.
    for (const char* psz : {"News", "NEWS", "caf\xE9", "caf\xC3\xA9", "News"}) {
        Use(history, *m_pBox, psz);
    }
    const Texts texts = {"News", "caf\xC3\xA9", "caf\xE9", "NEWS", "d", "c", "a", "b"};
    EXPECT_EQ(Both(history, *m_pBox), texts);
    history.SaveToRegistry();
    EXPECT_EQ(GetSettingString("Patterns", "0"), "0,News");
    EXPECT_EQ(GetSettingString("Patterns", "2"), "0,caf\xE9");
    EXPECT_EQ(GetSettingString("Patterns", "4"), "5,d");
}

TEST_F(PatternHistoryTest, AFullHistoryDropsTheOldestAndAllOfItComesBack) {
    Store({{"16", "0,left over"}});
    Texts expected;
    {
        CPatternHistory history("Patterns", 16);
        for (int i = 0; i <= 16; ++i) {
            const std::string strText = std::string("p").append(std::to_string(i));
            m_pBox->ChangeValue(strText);
            history.Remember(strText, i, *m_pBox);
        }
        expected = Both(history, *m_pBox);
        ASSERT_EQ(expected.size(), 16u);
        EXPECT_EQ(expected.back(), "p1");
        EXPECT_EQ(m_pBox->GetValue(), "p16");
        history.SaveToRegistry();
    }
    InstallSettings();  // written and read again
    EXPECT_EQ(GetSettingString("Patterns", "15"), "1,p1");
    EXPECT_EQ(GetSettingString("Patterns", "16"), "0,left over");
    wxComboBox* pBox = NewBox();
    CPatternHistory history("Patterns", 16);
    history.LoadInto(*pBox);
    EXPECT_EQ(Both(history, *pBox), expected);
    EXPECT_EQ(history.GetEntry(0)->m_nValue, 16);
    EXPECT_EQ(pBox->GetValue(), "p16");
}

TEST_F(PatternHistoryTest, LoadingTakesNumberAndTextAndStopsAtAGapOrAnEmptyValue) {
    Store({{"0", "-3,a,b"},
           {"1", "7"},
           {"2", "no number"},
           {"3", "12x,y"},
           {"4", ","},
           {"6", "0,after the gap"}});
    CPatternHistory history("Patterns", 16);
    history.LoadInto(*m_pBox);
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"a,b", "7", "no number", "y", ""}));
    const int values[] = {-3, 7, 0, 12, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(history.GetEntry(i)->m_nValue, values[i]) << i;
    }
    EXPECT_EQ(history.GetEntry(5), nullptr);

    Store({{"0", "0,first"}, {"1", ""}, {"2", "0,lost"}});
    CPatternHistory second("Patterns", 16);
    second.LoadInto(*NewBox());
    EXPECT_EQ(Both(second, *m_boxes.back()), (Texts{"first"}));
}

TEST_F(PatternHistoryTest, AnEmptyPatternIsRememberedAndComesBack) {
    CPatternHistory history("Patterns", 16);
    history.LoadInto(*m_pBox);  // nothing stored: the box stays empty
    EXPECT_EQ(m_pBox->GetCount(), 0u);
    for (const char* psz : {"b", "a", ""}) {
        Use(history, *m_pBox, psz);
    }
    EXPECT_EQ(m_pBox->GetValue(), "");
    history.SaveToRegistry();
    CPatternHistory back("Patterns", 16);
    back.LoadInto(*NewBox());
    EXPECT_EQ(Both(back, *m_boxes.back()), (Texts{"", "a", "b"}));
}

TEST_F(PatternHistoryTest, TheLimitIsOneToSixteenElseEight) {
    for (const auto& [nAsked, nKept] : {std::pair{1, 1}, {16, 16}, {0, 8}, {17, 8}, {-1, 8}}) {
        EXPECT_EQ(CPatternHistory("Patterns", nAsked).m_nMax, nKept) << nAsked;
    }
    CPatternHistory history("Patterns", 0);
    for (int i = 0; i < 10; ++i) {
        Use(history, *m_pBox, std::to_string(i));
    }
    EXPECT_EQ(Both(history, *m_pBox), (Texts{"9", "8", "7", "6", "5", "4", "3", "2"}));
}

}  // namespace
