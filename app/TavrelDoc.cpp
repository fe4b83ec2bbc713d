#include "app/TavrelDoc.h"

#include "ui/Settings.h"
#include "view/PatternHistory.h"
#include "view/TVLDlg.h"

CTavrelDoc::CTavrelDoc() : m_pHistory(new CPatternHistory("Patterns", 16)) {}

CTavrelDoc::~CTavrelDoc() {
    delete m_pHistory;
}

void CTavrelDoc::PreCloseFrame(CTVLDlg* pView) {
    if (pView != nullptr) {
        int widths[COL_COUNT];
        for (int i = 0; i < COL_COUNT; ++i) {
            widths[i] = pView->m_list->GetRows().GetColumnWidth(i);
        }
        WriteSettingString("Settings", "ColumnWidth", FormatColumnWidths(widths));
    }
    if (m_pHistory != nullptr) {
        if (pView != nullptr) {
            pView->m_pHistory = nullptr;
        }
        m_pHistory->SaveToRegistry();
        delete m_pHistory;
        m_pHistory = nullptr;
    }
}
