// Looks at the running program's windows from outside, as a user would see
// them: "tavrel_window_probe WAIT" waits up to WAIT seconds for a visible
// top-level window titled "Tavrel", then prints how many such windows there
// are and the texts of the panes of the first one's status bar.
// "tavrel_window_probe WAIT close" then closes that window as its close box
// would, and waits up to WAIT seconds for its process to end.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<HWND> g_windows;

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM) {
    char szTitle[64] = {};
    if (IsWindowVisible(hWnd) && GetWindowTextA(hWnd, szTitle, sizeof szTitle) > 0 &&
        std::string(szTitle) == "Tavrel") {
        g_windows.push_back(hWnd);
    }
    return TRUE;
}

BOOL CALLBACK FindStatusBar(HWND hWnd, LPARAM lParam) {
    char szClass[64] = {};
    GetClassNameA(hWnd, szClass, sizeof szClass);
    if (std::string(szClass) == STATUSCLASSNAMEA) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// A status bar answers with its text only into memory of its own process.
std::string PaneText(HWND hBar, int nPane) {
    DWORD nProcess = 0;
    GetWindowThreadProcessId(hBar, &nProcess);
    HANDLE hProcess =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, nProcess);
    if (hProcess == nullptr) {
        return "?";
    }
    std::string strText = "?";
    constexpr SIZE_T kSize = 512;
    if (void* pRemote = VirtualAllocEx(hProcess, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE)) {
        const auto nLength = LOWORD(SendMessageA(hBar, SB_GETTEXTLENGTHA, nPane, 0));
        if (nLength < kSize) {
            SendMessageA(hBar, SB_GETTEXTA, nPane, reinterpret_cast<LPARAM>(pRemote));
            char szText[kSize] = {};
            SIZE_T nRead = 0;
            if (ReadProcessMemory(hProcess, pRemote, szText, nLength + 1, &nRead)) {
                strText.assign(szText, nLength);
            }
        }
        VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    }
    CloseHandle(hProcess);
    return strText;
}

}  // namespace

int main(int argc, char** argv) {
    const int nWait = argc > 1 ? std::atoi(argv[1]) : 0;
    for (int nTry = 0; nTry <= nWait * 10; ++nTry) {
        g_windows.clear();
        EnumWindows(CollectWindow, 0);
        if (!g_windows.empty()) {
            break;
        }
        Sleep(100);
    }
    std::printf("windows=%zu", g_windows.size());
    if (!g_windows.empty()) {
        HWND hBar = nullptr;
        EnumChildWindows(g_windows[0], FindStatusBar, reinterpret_cast<LPARAM>(&hBar));
        if (hBar != nullptr) {
            std::printf(" shown=%s total=%s", PaneText(hBar, 1).c_str(), PaneText(hBar, 2).c_str());
        }
    }
    std::printf("\n");
    if (g_windows.empty()) {
        return 1;
    }
    if (argc > 2 && std::string(argv[2]) == "close") {
        DWORD nProcess = 0;
        GetWindowThreadProcessId(g_windows[0], &nProcess);
        HANDLE hProcess = OpenProcess(SYNCHRONIZE, FALSE, nProcess);
        PostMessageA(g_windows[0], WM_CLOSE, 0, 0);
        const bool bEnded =
            hProcess != nullptr && WaitForSingleObject(hProcess, nWait * 1000) == WAIT_OBJECT_0;
        std::printf(bEnded ? "ended\n" : "still running\n");
        return bEnded ? 0 : 1;
    }
    return 0;
}
