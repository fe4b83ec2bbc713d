#include "view/PatternHistory.h"

#include <wx/combobox.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "ui/Settings.h"
#include "ui/WxText.h"

namespace {

// The number at the start of a stored value, as "%d" reads it; 0 when none.
int LeadingNumber(const std::string& str) {
    const long long n = std::strtoll(str.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

}  // namespace

CPatternHistory::CPatternHistory(const std::string& strSection, int nMax)
    : m_pEntries(new CBookmarkArray),
      m_strSection(strSection),
      m_nMax(nMax >= 1 && nMax <= 16 ? nMax : 8) {}

CPatternHistory::~CPatternHistory() {
    delete m_pEntries;
}

const CPatternEntry* CPatternHistory::GetEntry(int i) const {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return static_cast<const CPatternEntry*>(m_pEntries->GetAt(i));
}

void CPatternHistory::LoadInto(wxComboBox& box) {
    for (int i = 0; i < m_nMax; ++i) {
        const std::string strValue =
            GetSettingString(m_strSection.c_str(), std::to_string(i).c_str());
        if (strValue.empty()) {
            break;
        }
        const std::size_t nComma = strValue.find(',');
        const std::string strText =
            nComma == std::string::npos ? strValue : strValue.substr(nComma + 1);
        m_pEntries->Add(new CPatternEntry(strText, LeadingNumber(strValue)));
        box.Append(TextFromBytes(strText));
    }
    // SetSelection sends no wxEVT_COMBOBOX: nothing filters before the import ends.
    if (box.GetCount() > 0) {
        box.SetSelection(0);
    }
}

void CPatternHistory::Remember(const std::string& strText, int nValue, wxComboBox& box) {
    const int k = m_pEntries->Find(strText.c_str(), KeyOf<&CPatternEntry::m_strText>(KEY_STRING));
    if (k >= 0) {
        CObject* pEntry = m_pEntries->GetAt(k);
        static_cast<CPatternEntry*>(pEntry)->m_nValue = nValue;
        if (k > 0) {
            m_pEntries->RemoveAt(k);
            m_pEntries->InsertAt(0, pEntry);
            box.Delete(static_cast<unsigned>(k));
            box.Insert(TextFromBytes(strText), 0);
            box.SetSelection(0);
        }
        return;
    }
    if (GetCount() >= m_nMax) {
        const int nLast = GetCount() - 1;
        m_pEntries->RemoveAndDelete(nLast);
        box.Delete(static_cast<unsigned>(nLast));
    }
    m_pEntries->InsertAt(0, new CPatternEntry(strText, nValue));
    // Inserting and deleting strings leave the edit text as it is.
    box.Insert(TextFromBytes(strText), 0);
}

void CPatternHistory::SaveToRegistry() const {
    for (int i = 0; i < GetCount(); ++i) {
        const CPatternEntry* pEntry = GetEntry(i);
        WriteSettingString(m_strSection.c_str(), std::to_string(i).c_str(),
                           std::to_string(pEntry->m_nValue) + "," + pEntry->m_strText);
    }
}
