// The document: it holds the filter history and stores it, with the column
// widths, when the frame closes. Bookmarks stay in the browsers' stores.
#pragma once

class CPatternHistory;
class CTVLDlg;

class CTavrelDoc {
public:
    CTavrelDoc();
    ~CTavrelDoc();
    CTavrelDoc(const CTavrelDoc&) = delete;
    CTavrelDoc& operator=(const CTavrelDoc&) = delete;

    // Nothing marks the document modified, so closing never asks to save.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified) { m_bModified = bModified; }

    // Stores the view's column widths and the history, then drops the history.
    void PreCloseFrame(CTVLDlg* pView);

    CPatternHistory* m_pHistory = nullptr;

private:
    bool m_bModified = false;
};
