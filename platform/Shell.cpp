#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/NoCase.h"
#include "platform/XdgDirs.h"

extern char** environ;

namespace {

constexpr int kNoExplanation = 1;
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_NOASSOC = 31;
constexpr int kFound = 42;

// Starts the program (looked up in PATH when bSearch) with this environment
// and returns its id, or -1 with errno set.
pid_t Spawn(const std::string& strProgram, const std::vector<std::string>& args, bool bSearch,
            char* const* envp) {
    std::vector<char*> argv;
    for (const std::string& strArg : args) {
        argv.push_back(const_cast<char*>(strArg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int nError =
        bSearch ? posix_spawnp(&pid, strProgram.c_str(), nullptr, nullptr, argv.data(), envp)
                : posix_spawn(&pid, strProgram.c_str(), nullptr, nullptr, argv.data(), envp);
    if (nError != 0) {
        errno = nError;
        return -1;
    }
    return pid;
}

// Collects the program's end in the background, so no zombie stays behind.
void Reap(pid_t pid) {
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

// Runs xdg-open to its end; the code ShellOpenAsync reports.
int RunOpener(const std::string& strFile) {
    const pid_t pid = Spawn("xdg-open", {"xdg-open", strFile}, true, environ);
    if (pid < 0) {
        return errno == ENOMEM || errno == EAGAIN ? SE_ERR_OOM
               : errno == EACCES                  ? SE_ERR_ACCESSDENIED
                                                  : SE_ERR_NOASSOC;
    }
    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0) {
        if (errno != EINTR) {
            // Collected elsewhere: nothing tells of a failure.
            return errno == ECHILD ? kFound : kNoExplanation;
        }
    }
    if (!WIFEXITED(nStatus)) {
        return kNoExplanation;
    }
    switch (WEXITSTATUS(nStatus)) {
        case 0:
            return kFound;
        case 1:  // a name xdg-open does not take
        case 2:  // the file does not exist
            return SE_ERR_FNF;
        case 3:  // no tool that opens things on this desktop
            return SE_ERR_NOASSOC;
        default:  // 4, the action failed, or no status of xdg-open's
            return kNoExplanation;
    }
}

// The directories holding desktop entries and mimeapps.list files.
std::vector<std::string> DataDirs() {
    return XdgDirs("XDG_DATA_HOME", "/.local/share", "XDG_DATA_DIRS",
                   "/usr/local/share:/usr/share");
}

std::vector<std::string> ConfigDirs() {
    return XdgDirs("XDG_CONFIG_HOME", "/.config", "XDG_CONFIG_DIRS", "/etc/xdg");
}

std::string Trim(const std::string& str) {
    const auto nFirst = str.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos) {
        return "";
    }
    return str.substr(nFirst, str.find_last_not_of(" \t\r") - nFirst + 1);
}

// The value of a key in one group of an ini-style file; false when absent.
bool ReadGroupKey(const std::string& strFile, const std::string& strGroup,
                  const std::string& strKey, std::string& strValue) {
    std::ifstream file(strFile);
    std::string strLine;
    bool bInGroup = false;
    while (std::getline(file, strLine)) {
        strLine = Trim(strLine);
        if (!strLine.empty() && strLine[0] == '[') {
            bInGroup = strLine == "[" + strGroup + "]";
        } else if (bInGroup) {
            const auto nEqual = strLine.find('=');
            if (nEqual != std::string::npos && Trim(strLine.substr(0, nEqual)) == strKey) {
                strValue = Trim(strLine.substr(nEqual + 1));
                return true;
            }
        }
    }
    return false;
}

// The Exec line of a desktop entry found in the applications directories.
bool FindDesktopExec(const std::string& strEntry, std::string& strExec) {
    if (strEntry.find('/') != std::string::npos) {
        return false;
    }
    for (const std::string& strDir : DataDirs()) {
        if (ReadGroupKey(strDir + "/applications/" + strEntry, "Desktop Entry", "Exec", strExec)) {
            return true;
        }
    }
    return false;
}

// The program of the first default application for a type that has one.
std::string DefaultProgram(const std::string& strType) {
    std::vector<std::string> lists;
    for (const std::string& strDir : ConfigDirs()) {
        lists.push_back(strDir + "/mimeapps.list");
    }
    for (const std::string& strDir : DataDirs()) {
        lists.push_back(strDir + "/applications/mimeapps.list");
        lists.push_back(strDir + "/applications/defaults.list");
    }
    for (const std::string& strList : lists) {
        std::string strEntries;
        if (!ReadGroupKey(strList, "Default Applications", strType, strEntries)) {
            continue;
        }
        std::stringstream stream(strEntries);
        std::string strEntry;
        while (std::getline(stream, strEntry, ';')) {
            std::string strExec;
            if (!strEntry.empty() && FindDesktopExec(strEntry, strExec)) {
                const std::string strProgram = SearchPath(ExecProgram(strExec));
                if (!strProgram.empty()) {
                    return strProgram;
                }
            }
        }
    }
    return "";
}

bool IsExecutableFile(const std::string& strPath) {
    struct stat st {};
    return stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(strPath.c_str(), X_OK) == 0;
}

}  // namespace

void ShellOpenAsync(const std::string& strFile, std::function<void(int nCode)> done) {
    try {
        std::thread([strFile, done] { done(RunOpener(strFile)); }).detach();
    } catch (const std::system_error&) {
        done(SE_ERR_OOM);  // no thread to wait on it: nothing was started
    }
}

bool SpawnProgram(const std::string& strProgram, const std::vector<std::string>& args) {
    const pid_t pid = Spawn(strProgram, args, false, environ);
    if (pid < 0) {
        return false;
    }
    Reap(pid);
    return true;
}

std::string ExecProgram(const std::string& strExec) {
    const std::string str = Trim(strExec);
    if (str.empty()) {
        return "";
    }
    if (str[0] == '"') {
        std::string strProgram;
        for (std::size_t i = 1; i < str.size() && str[i] != '"'; ++i) {
            if (str[i] == '\\' && i + 1 < str.size()) {
                ++i;
            }
            strProgram += str[i];
        }
        return strProgram;
    }
    return str.substr(0, str.find_first_of(" \t"));
}

std::string SearchPath(const std::string& strName) {
    if (strName.empty()) {
        return "";
    }
    if (strName.find('/') != std::string::npos) {
        return IsExecutableFile(strName) ? strName : "";
    }
    for (const std::string& strDir : SplitDirs(GetEnv("PATH"))) {
        const std::string strPath = strDir + "/" + strName;
        if (IsExecutableFile(strPath)) {
            return strPath;
        }
    }
    return "";
}

int FindExecutable(const std::string& strFile, std::string& strProgram) {
    struct stat st {};
    if (stat(strFile.c_str(), &st) != 0) {
        return SE_ERR_FNF;
    }
    const auto nDot = strFile.rfind('.');
    const std::string strExt = nDot == std::string::npos ? "" : strFile.substr(nDot + 1);
    if (CompareNoCase(strExt, "htm") != 0 && CompareNoCase(strExt, "html") != 0) {
        return SE_ERR_NOASSOC;
    }
    const std::string strFound = DefaultProgram("text/html");
    if (strFound.empty()) {
        return SE_ERR_NOASSOC;
    }
    strProgram = strFound;
    return kFound;
}
