// The shell's services on Windows: the open action, the program that opens
// a kind of file, and starting a program.
#include <windows.h>
// After windows.h, whose types they use.
#include <objbase.h>
#include <process.h>
#include <shellapi.h>

#include <system_error>
#include <thread>

#include "platform/Shell.h"

namespace {

constexpr int kOutOfMemory = 8;

int RunOpenAction(const std::string& strFile) {
    // The open action may hand the URL on through COM or DDE.
    const HRESULT hrInit =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto nResult = reinterpret_cast<INT_PTR>(ShellExecuteA(
        GetDesktopWindow(), "open", strFile.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (SUCCEEDED(hrInit)) {
        CoUninitialize();
    }
    return nResult > 32 ? 33 : static_cast<int>(nResult);
}

}  // namespace

std::string QuoteArgument(const std::string& strArg) {
    if (!strArg.empty() && strArg.find_first_of(" \t\n\v\"") == std::string::npos) {
        return strArg;
    }
    std::string strOut = "\"";
    std::size_t nBackslashes = 0;
    for (char c : strArg) {
        if (c == '\\') {
            ++nBackslashes;
            continue;
        }
        strOut.append(c == '"' ? nBackslashes * 2 + 1 : nBackslashes, '\\');
        nBackslashes = 0;
        strOut += c;
    }
    strOut.append(nBackslashes * 2, '\\');
    return strOut + "\"";
}

void ShellOpenAsync(const std::string& strFile, std::function<void(int nCode)> done) {
    try {
        std::thread([strFile, done] { done(RunOpenAction(strFile)); }).detach();
    } catch (const std::system_error&) {
        done(kOutOfMemory);  // no thread to run it on: nothing was started
    }
}

bool SpawnProgram(const std::string& strProgram, const std::vector<std::string>& args,
                  const std::vector<std::string>&) {
    std::vector<std::string> quoted;
    for (const std::string& strArg : args) {
        quoted.push_back(QuoteArgument(strArg));
    }
    std::vector<const char*> argv;
    for (const std::string& strArg : quoted) {
        argv.push_back(strArg.c_str());
    }
    argv.push_back(nullptr);
    const intptr_t hProcess = _spawnv(_P_NOWAIT, strProgram.c_str(), argv.data());
    if (hProcess == -1) {
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(hProcess));  // it is not waited for
    return true;
}

std::vector<std::string> ExecArgv(const CExecCommand& command, const std::string& strURL) {
    std::vector<std::string> argv = command.argv;
    argv.push_back(strURL);
    return argv;
}

int FindAssociatedProgram(const std::string& strFile, std::string& strProgram) {
    char szProgram[MAX_PATH] = {};
    const auto nResult = reinterpret_cast<INT_PTR>(FindExecutableA(strFile.c_str(), "", szProgram));
    if (nResult > 32) {
        strProgram = szProgram;
    }
    return static_cast<int>(nResult > 32 ? 33 : nResult);
}

int FindAssociatedProgram(const std::string& strFile, std::string& strProgram,
                          CExecCommand& command) {
    const int nResult = FindAssociatedProgram(strFile, strProgram);
    if (nResult > 32) {
        command = CExecCommand{};
        command.argv = {strProgram};
    }
    return nResult;
}
