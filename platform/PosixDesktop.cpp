// On Linux the toolkit provides the instance channel and the clipboard, so
// that both follow the running desktop (X11 selections, Wayland).
#include "platform/Desktop.h"

std::unique_ptr<CInstanceChannel> OpenSystemInstanceChannel() {
    return nullptr;
}

bool CopyTextToSystemClipboard(const std::string&, void*) {
    return false;
}
