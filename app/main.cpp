// The program's entry: the arguments are kept as bytes before the toolkit
// sees them, for the "NS" and "log" switches.
#include <wx/app.h>

#include "app/TavrelApp.h"
#include "discovery/CommandLine.h"

wxIMPLEMENT_APP_NO_MAIN(CTavrelApp);

int main(int argc, char** argv) {
    SetProcessArguments(argc, argv);
    return wxEntry(argc, argv);
}
