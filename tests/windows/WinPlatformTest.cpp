// The Windows services under the core: the shell, the clipboard and the
// single instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Desktop.h"
#include "platform/Shell.h"

namespace {

std::filesystem::path ScratchDir(const char* pszName) {
    const auto path =
        std::filesystem::temp_directory_path() /
        (std::string("tavrel-") + pszName + "-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

}  // namespace

// A browser has made itself the program of ".htm" pages, as on a Windows
// with a browser installed (for all users: Wine reads classes only there).
TEST(Shell, FindExecutableAnswersAsTheSystemDoes) {
    const char szClass[] = "htmlfile";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm", nullptr, REG_SZ,
                              szClass, sizeof szClass),
              ERROR_SUCCESS);
    const auto dir = ScratchDir("shell");
    std::string strProgram;
    CExecCommand command;
    EXPECT_EQ(FindAssociatedProgram((dir / "missing.htm").string(), strProgram, command), 2);
    const std::string strOdd = (dir / "probe.tavrelnoext").string();
    std::ofstream(strOdd).put('x');
    EXPECT_EQ(FindAssociatedProgram(strOdd, strProgram, command), 31);
    const std::string strPage = (dir / "probe.htm").string();
    std::ofstream(strPage).put('x');
    ASSERT_GT(FindAssociatedProgram(strPage, strProgram, command), 32);
    EXPECT_TRUE(std::filesystem::exists(strProgram)) << strProgram;
    EXPECT_EQ(ExecArgv(command, "http://x/ y"),
              (std::vector<std::string>{strProgram, "http://x/ y"}));
    std::filesystem::remove_all(dir);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.htm");
}

TEST(Shell, OpenActionReportsItsCodeOnAnotherThread) {
    const auto dir = ScratchDir("open");
    std::promise<std::pair<int, std::thread::id>> answer;
    ShellOpenAsync((dir / "no such file.tavrelnoext").string(), [&answer](int nCode) {
        answer.set_value({nCode, std::this_thread::get_id()});
    });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const auto [nCode, thread] = future.get();
    EXPECT_EQ(nCode, 2);  // the file was not found
    EXPECT_NE(thread, std::this_thread::get_id());
    std::filesystem::remove_all(dir);
}

// The program gets each argument exactly, blanks, quotes and backslashes kept.
TEST(Shell, SpawnedProgramGetsTheArgumentsExactly) {
    const auto dir = ScratchDir("spawn");
    const std::string strOut = (dir / "args.txt").string();
    char szSelf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    const std::vector<std::string> args{
        szSelf, "--record-args", strOut, "http://x.test/a b?q=\"1\"", "C:\\dir with blank\\", ""};
    ASSERT_TRUE(SpawnProgram(szSelf, args));
    for (int i = 0; i < 300 && !std::filesystem::exists(strOut + ".done"); ++i) {
        Sleep(100);
    }
    std::stringstream text;
    text << std::ifstream(strOut, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "http://x.test/a b?q=\"1\"\nC:\\dir with blank\\\n\n");
    EXPECT_FALSE(SpawnProgram((dir / "missing.exe").string(), {"missing.exe"}));
    std::filesystem::remove_all(dir);
}

namespace {

// What the clipboard holds in the format, up to its terminating zero.
template <class TChar>
std::basic_string<TChar> ClipboardText(UINT nFormat) {
    std::basic_string<TChar> str;
    if (OpenClipboard(nullptr)) {
        if (HANDLE hData = GetClipboardData(nFormat)) {
            if (const auto* psz = static_cast<const TChar*>(GlobalLock(hData))) {
                str = psz;
                GlobalUnlock(hData);
            }
        }
        CloseClipboard();
    }
    return str;
}

}  // namespace

// The bytes as they are, and as text read the way the list shows them.
TEST(Clipboard, HoldsTheBytesAndTheirText) {
    const std::string strUTF8 = "http://a.test/\r\nhttp://b.test/caf\xC3\xA9\r\n";
    ASSERT_TRUE(CopyTextToSystemClipboard(strUTF8, nullptr));
    EXPECT_EQ(ClipboardText<char>(CF_TEXT), strUTF8);
    EXPECT_EQ(ClipboardText<wchar_t>(CF_UNICODETEXT),
              L"http://a.test/\r\nhttp://b.test/caf\u00E9\r\n");

    const std::string strLatin = "http://b.test/caf\xE9\x80\r\n";  // not UTF-8
    ASSERT_TRUE(CopyTextToSystemClipboard(strLatin, nullptr));
    EXPECT_EQ(ClipboardText<char>(CF_TEXT), strLatin);
    EXPECT_EQ(ClipboardText<wchar_t>(CF_UNICODETEXT), L"http://b.test/caf\u00E9\u20AC\r\n");
}

TEST(SingleInstance, ASecondStartFindsTheFirstByItsWindowClass) {
    ASSERT_EQ(FindWindowA("Tavrel", nullptr), nullptr);
    auto pFirst = OpenSystemInstanceChannel();
    ASSERT_TRUE(pFirst->ActivatePreviousInstance());
    int nActivated = 0;
    ASSERT_TRUE(pFirst->Listen([&nActivated] { ++nActivated; }));
    HWND hWnd = FindWindowA("Tavrel", nullptr);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hWnd));

    auto pSecond = OpenSystemInstanceChannel();
    EXPECT_FALSE(pSecond->ActivatePreviousInstance());
    MSG message;
    for (int i = 0; i < 100 && nActivated == 0; ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    EXPECT_EQ(nActivated, 1);
    pSecond.reset();
    pFirst.reset();
    EXPECT_EQ(FindWindowA("Tavrel", nullptr), nullptr);  // the class is gone with it
}
