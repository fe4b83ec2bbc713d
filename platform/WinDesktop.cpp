// The single instance and the clipboard on Windows.
#include <windows.h>

#include <cstring>

#include "platform/Desktop.h"

namespace {

constexpr const char* kClassName = "Tavrel";
constexpr UINT kActivateMessage = WM_APP + 1;

// A hidden top-level window of the class "Tavrel" stands for the running
// instance: a later start finds it by its class and sends it the request.
class CWinInstanceChannel : public CInstanceChannel {
public:
    ~CWinInstanceChannel() override {
        if (m_hWnd != nullptr) {
            DestroyWindow(m_hWnd);
        }
        if (m_bClassRegistered) {
            UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
        }
    }

    bool ActivatePreviousInstance() override {
        if (HWND hRunning = FindWindowA(kClassName, nullptr)) {
            // This process was started by the user, so it may give the
            // running one the right to take the foreground.
            DWORD nProcess = 0;
            GetWindowThreadProcessId(hRunning, &nProcess);
            AllowSetForegroundWindow(nProcess);
            PostMessageA(hRunning, kActivateMessage, 0, 0);
            return false;
        }
        WNDCLASSA windowClass{};
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = &CWinInstanceChannel::WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kClassName;
        m_bClassRegistered = RegisterClassA(&windowClass) != 0;
        if (m_bClassRegistered) {
            m_hWnd = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0,
                                     nullptr, nullptr, windowClass.hInstance, nullptr);
            SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        return true;
    }

    bool Listen(std::function<void()> onActivate) override {
        m_onActivate = std::move(onActivate);
        return m_hWnd != nullptr;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
        if (nMessage == kActivateMessage) {
            auto* pChannel =
                reinterpret_cast<CWinInstanceChannel*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
            if (pChannel != nullptr && pChannel->m_onActivate) {
                pChannel->m_onActivate();
            }
            return 0;
        }
        return DefWindowProcA(hWnd, nMessage, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    bool m_bClassRegistered = false;
    std::function<void()> m_onActivate;
};

}  // namespace

std::unique_ptr<CInstanceChannel> OpenSystemInstanceChannel() {
    return std::make_unique<CWinInstanceChannel>();
}

bool CopyTextToSystemClipboard(const std::string& strText, void* hOwner) {
    // The bytes as CF_TEXT, and as the program reads them (UTF-8 when valid,
    // else Windows-1252) as CF_UNICODETEXT, which the system would otherwise
    // make from CF_TEXT in the code page of its locale, not the program's.
    const int nSize = static_cast<int>(strText.size() + 1);
    UINT nCodePage = CP_UTF8;
    int nWide =
        MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, strText.c_str(), nSize, nullptr, 0);
    if (nWide == 0) {
        nCodePage = 1252;
        nWide = MultiByteToWideChar(nCodePage, 0, strText.c_str(), nSize, nullptr, 0);
    }
    HGLOBAL hText = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, nSize);
    HGLOBAL hWide = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, nWide * sizeof(wchar_t));
    bool bFilled = hText != nullptr && hWide != nullptr;
    if (bFilled) {
        void* pText = GlobalLock(hText);
        void* pWide = GlobalLock(hWide);
        bFilled = pText != nullptr && pWide != nullptr;
        if (bFilled) {
            std::memcpy(pText, strText.c_str(), nSize);
            MultiByteToWideChar(nCodePage, 0, strText.c_str(), nSize, static_cast<wchar_t*>(pWide),
                                nWide);
        }
        GlobalUnlock(hText);
        GlobalUnlock(hWide);
    }
    bool bDone = false;
    if (bFilled && OpenClipboard(static_cast<HWND>(hOwner))) {
        EmptyClipboard();
        // The clipboard owns a block once it took it.
        if (SetClipboardData(CF_TEXT, hText) != nullptr) {
            hText = nullptr;
            bDone = true;
        }
        if (SetClipboardData(CF_UNICODETEXT, hWide) != nullptr) {
            hWide = nullptr;
        }
        CloseClipboard();
    }
    if (hText != nullptr) {
        GlobalFree(hText);
    }
    if (hWide != nullptr) {
        GlobalFree(hWide);
    }
    return bDone;
}
