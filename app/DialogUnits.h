// Builds controls from a dialog template, converting its dialog units with
// the parent's font.
#pragma once

#include <wx/gdicmn.h>

#include "res/Templates.h"

class wxWindow;

// The wx id of a template's control number.
int WindowId(int nId);
wxRect DialogUnitsToPixels(wxWindow* pParent, int x, int y, int cx, int cy);
// Creates the control; null for the list, which its owner makes.
wxWindow* CreateDialogItem(wxWindow* pParent, const CDialogItem& item);
// Creates every control but the list; a dialog also gets the template's title
// and client size.
void CreateDialogControls(wxWindow* pParent, const CDialogTemplate& tmpl);
