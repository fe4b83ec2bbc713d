#include "app/DialogUnits.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "app/SmallDialogs.h"
#include "res/Resource.h"

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
    const wxPoint pt = pParent->ConvertDialogToPixels(wxPoint(x, y));
    const wxSize size = pParent->ConvertDialogToPixels(wxSize(cx, cy));
    return wxRect(pt, size);
}

wxWindow* CreateDialogItem(wxWindow* pParent, const CDialogItem& item) {
    const wxRect rc = DialogUnitsToPixels(pParent, item.x, item.y, item.cx, item.cy);
    const int nId = WindowId(item.nId);
    const wxString strText =
        item.pszText != nullptr ? wxString::FromUTF8(item.pszText) : wxString();
    wxWindow* pWindow = nullptr;
    switch (item.kind) {
        case DI_STATIC:
        case DI_STATIC_CENTER: {
            const long nStyle = wxST_NO_AUTORESIZE |
                                (item.kind == DI_STATIC_CENTER ? wxALIGN_CENTRE_HORIZONTAL : 0);
            auto* pStatic =
                new wxStaticText(pParent, nId, wxString(), rc.GetPosition(), rc.GetSize(), nStyle);
            pStatic->SetLabelText(strText);
            pWindow = pStatic;
            break;
        }
        case DI_ICON: {
            wxBitmap bitmap;
            bitmap.CopyFromIcon(GetAppIcon());
            pWindow = new wxStaticBitmap(pParent, nId, bitmap, rc.GetPosition(), rc.GetSize());
            break;
        }
        case DI_BUTTON:
        case DI_DEFBUTTON: {
            auto* pButton = new wxButton(pParent, nId, strText, rc.GetPosition(), rc.GetSize());
            if (item.kind == DI_DEFBUTTON) {
                pButton->SetDefault();
            }
            pWindow = pButton;
            break;
        }
        case DI_CHECKBOX: {
            // Never smaller than the toolkit draws its box and label.
            auto* pCheck = new wxCheckBox(pParent, nId, strText, rc.GetPosition());
            const wxSize best = pCheck->GetBestSize();
            pCheck->SetSize(std::max(rc.width, best.x), std::max(rc.height, best.y));
            pWindow = pCheck;
            break;
        }
        case DI_EDIT_MULTILINE:
            pWindow = new wxTextCtrl(pParent, nId, strText, rc.GetPosition(), rc.GetSize(),
                                     wxTE_MULTILINE | wxHSCROLL | wxTE_DONTWRAP);
            break;
        case DI_COMBO_DROPDOWN: {
            // The template's height includes the dropped-down list; the box
            // itself is as high as the toolkit draws it.
            auto* pCombo = new wxComboBox(pParent, nId, wxString(), rc.GetPosition(),
                                          wxSize(rc.width, -1), 0, nullptr, wxCB_DROPDOWN);
            pWindow = pCombo;
            break;
        }
        case DI_LIST:
            return nullptr;
    }
    return pWindow;
}

void CreateDialogControls(wxWindow* pParent, const CDialogTemplate& tmpl) {
    for (std::size_t i = 0; i < tmpl.nItems; ++i) {
        CreateDialogItem(pParent, tmpl.pItems[i]);
    }
    if (auto* pDialog = wxDynamicCast(pParent, wxDialog)) {
        pDialog->SetTitle(wxString::FromUTF8(tmpl.pszTitle));
        pDialog->SetClientSize(pParent->ConvertDialogToPixels(wxSize(tmpl.cx, tmpl.cy)));
    }
}
