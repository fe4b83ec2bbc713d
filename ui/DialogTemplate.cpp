#include "ui/DialogTemplate.h"

#include <algorithm>

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/font.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <cstring>

#include "res/Icon.h"
#include "res/Resource.h"

namespace {

wxString ItemText(const CDialogItem& item) {
    return item.pszText != nullptr ? wxString::FromUTF8(item.pszText) : wxString();
}

wxWindow* CreateStatic(wxWindow* pParent, const CDialogItem& item, const wxRect& rc) {
    // The template's rectangle is kept whatever text is set later.
    long nStyle = wxST_NO_AUTORESIZE;
    if (item.kind == DI_CTEXT) {
        nStyle |= wxALIGN_CENTRE_HORIZONTAL;
    }
    wxString strLabel = ItemText(item);
    if (item.nStyle & DIS_NOPREFIX) {
        strLabel = wxControl::EscapeMnemonics(strLabel);
    }
    return new wxStaticText(pParent, WindowId(item.nId), strLabel, rc.GetPosition(), rc.GetSize(),
                            nStyle);
}

wxWindow* CreateEdit(wxWindow* pParent, const CDialogItem& item, const wxRect& rc) {
    long nStyle = 0;
    if (item.nStyle & DIS_MULTILINE) {
        nStyle |= wxTE_MULTILINE;
        // Lines wrap unless the text may scroll sideways.
        if (item.nStyle & (DIS_HSCROLL | DIS_AUTOHSCROLL)) {
            nStyle |= wxTE_DONTWRAP;
        }
    }
    if (!(item.nStyle & DIS_BORDER)) {
        nStyle |= wxBORDER_NONE;
    }
    return new wxTextCtrl(pParent, WindowId(item.nId), ItemText(item), rc.GetPosition(),
                          rc.GetSize(), nStyle);
}

wxWindow* CreateCombo(wxWindow* pParent, const CDialogItem& item, const wxRect& rc) {
    long nStyle = wxCB_DROPDOWN;
    if (item.nStyle & DIS_SORT) {
        nStyle |= wxCB_SORT;
    }
    // The template's height includes the dropped-down list; the closed box is
    // as high as the toolkit draws it.
    return new wxComboBox(pParent, WindowId(item.nId), ItemText(item), rc.GetPosition(),
                          wxSize(rc.width, -1), 0, nullptr, nStyle);
}

// A template in a fixed-pitch face shows its edit text in the toolkit's
// fixed-pitch font; there is no "Courier New" to ask for everywhere.
bool IsFixedPitchFace(const char* pszFont) {
    return pszFont != nullptr && std::strncmp(pszFont, "Courier", 7) == 0;
}

}  // namespace

int WindowId(int nId) {
    switch (nId) {
        case IDOK:
            return wxID_OK;
        case IDCANCEL:
            return wxID_CANCEL;
        case IDC_STATIC:
            return wxID_STATIC;
        default:
            return nId;
    }
}

wxRect DialogUnitsToPixels(wxWindow* pParent, int x, int y, int cx, int cy) {
    return wxRect(pParent->ConvertDialogToPixels(wxPoint(x, y)),
                  pParent->ConvertDialogToPixels(wxSize(cx, cy)));
}

wxIcon GetAppIcon() {
    return wxIcon(g_tavrelIconXpm);
}

wxWindow* CreateDialogItem(wxWindow* pParent, const CDialogItem& item) {
    const wxRect rc = DialogUnitsToPixels(pParent, item.x, item.y, item.cx, item.cy);
    switch (item.kind) {
        case DI_LTEXT:
        case DI_CTEXT:
            return CreateStatic(pParent, item, rc);
        case DI_ICON: {
            // An icon control takes the size of its icon.
            wxBitmap bitmap;
            bitmap.CopyFromIcon(GetAppIcon());
            return new wxStaticBitmap(pParent, WindowId(item.nId), bitmap, rc.GetPosition());
        }
        case DI_PUSHBUTTON:
        case DI_DEFPUSHBUTTON: {
            auto* pButton = new wxButton(pParent, WindowId(item.nId), ItemText(item),
                                         rc.GetPosition(), rc.GetSize());
            if (item.kind == DI_DEFPUSHBUTTON) {
                pButton->SetDefault();
            }
            return pButton;
        }
        case DI_AUTOCHECKBOX: {
            // Never smaller than the toolkit draws its box and label.
            auto* pCheck =
                new wxCheckBox(pParent, WindowId(item.nId), ItemText(item), rc.GetPosition());
            const wxSize best = pCheck->GetBestSize();
            pCheck->SetSize(std::max(rc.width, best.x), std::max(rc.height, best.y));
            return pCheck;
        }
        case DI_EDIT:
            return CreateEdit(pParent, item, rc);
        case DI_COMBO_DROPDOWN:
            return CreateCombo(pParent, item, rc);
        case DI_LIST:
            break;
    }
    return nullptr;
}

void CreateDialogControls(wxWindow* pParent, const CDialogTemplate& tmpl) {
    const bool bFixedPitch = IsFixedPitchFace(tmpl.pszFont);
    for (std::size_t i = 0; i < tmpl.nItems; ++i) {
        const CDialogItem& item = tmpl.pItems[i];
        wxWindow* pWindow = CreateDialogItem(pParent, item);
        if (pWindow != nullptr && bFixedPitch && item.kind == DI_EDIT) {
            pWindow->SetFont(wxFont(wxFontInfo(tmpl.nPointSize).Family(wxFONTFAMILY_TELETYPE)));
        }
    }
    if (auto* pTop = wxDynamicCast(pParent, wxTopLevelWindow)) {
        pTop->SetTitle(wxString::FromUTF8(tmpl.pszTitle));
        if (tmpl.cx > 0 && tmpl.cy > 0) {
            pTop->SetClientSize(pParent->ConvertDialogToPixels(wxSize(tmpl.cx, tmpl.cy)));
        }
    }
}
