// Builds wx controls from a dialog template. Dialog units follow the font of
// the parent's top-level window, as wx reckons them.
#pragma once

#include <wx/gdicmn.h>
#include <wx/icon.h>

#include "res/Dialogs.h"

class wxWindow;

// The application's icon (resource 128), also shown by icon items.
wxIcon GetAppIcon();

// The wx id of a template's control number: IDOK, IDCANCEL and the number of
// unnumbered statics become wxID_OK, wxID_CANCEL and wxID_STATIC.
int WindowId(int nId);

// A rectangle in dialog units, in pixels of the parent.
wxRect DialogUnitsToPixels(wxWindow* pParent, int x, int y, int cx, int cy);

// Creates the control of one item in its place; null for the list, which its
// owner creates at the item's rectangle.
wxWindow* CreateDialogItem(wxWindow* pParent, const CDialogItem& item);

// Creates every control of the template but the list. A top-level parent also
// takes the template's title and client size.
void CreateDialogControls(wxWindow* pParent, const CDialogTemplate& tmpl);
