// The core's byte strings as wx text, and back.
#pragma once

#include <wx/string.h>

#include <string>

#include "catalogue/TextCase.h"

// Byte strings of the core to wx text and back: valid UTF-8 is read as UTF-8,
// anything else as Windows-1252.
wxString TextFromBytes(const std::string& strBytes);
// Writes Windows-1252 when bCp1252 is set and every character has a code there,
// else UTF-8.
std::string TextToBytes(const wxString& str, bool bCp1252);
