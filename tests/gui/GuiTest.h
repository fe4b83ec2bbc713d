// What the GUI tests share.
#pragma once

class wxFrame;

// Shown for the whole run; the parent of the windows the tests make.
extern wxFrame* g_pTestFrame;
