// The history of filter patterns: the most recently used first, shown in the
// drop-down list of the filter box and kept in the settings.
#pragma once

#include <string>

#include "catalogue/Bookmark.h"

class wxComboBox;

// One remembered pattern, as typed (case kept), with a number stored beside it.
class CPatternEntry : public CObject {
public:
    CPatternEntry() = default;
    CPatternEntry(const std::string& strText, int nValue) : m_strText(strText), m_nValue(nValue) {}

    std::string m_strText;
    int m_nValue = 0;
};

// The entries are in the order of the box's list, entry for entry; both change
// only through LoadInto and Remember.
class CPatternHistory {
public:
    // nMax outside 1..16 becomes 8.
    CPatternHistory(const std::string& strSection, int nMax);
    ~CPatternHistory();
    CPatternHistory(const CPatternHistory&) = delete;
    CPatternHistory& operator=(const CPatternHistory&) = delete;

    // Appends the stored patterns "0", "1", ... up to the first missing or
    // empty one, to the history and to the box's list, and selects the box's
    // first entry without a selection event.
    void LoadInto(wxComboBox& box);
    // Puts the pattern first. An entry found with exactly this text moves to
    // the front and is selected in the box; a new one is inserted in front
    // (dropping the oldest when full) and the box's edit text stays.
    void Remember(const std::string& strText, int nValue, wxComboBox& box);
    // Writes entry i as value "i" = "value,text". Higher leftover values stay.
    void SaveToRegistry() const;

    int GetCount() const { return m_pEntries->GetSize(); }
    // Null outside 0..GetCount()-1.
    const CPatternEntry* GetEntry(int i) const;

    CBookmarkArray* m_pEntries;  // owns the entries; 0 = most recent
    std::string m_strSection;
    int m_nMax;
};
