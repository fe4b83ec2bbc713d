#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
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

std::string Trim(const std::string& str) {
    const auto nFirst = str.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos) {
        return "";
    }
    return str.substr(nFirst, str.find_last_not_of(" \t\r") - nFirst + 1);
}

bool IsRegularFile(const std::string& strPath) {
    struct stat st {};
    return stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& strPath) {
    struct stat st {};
    return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExecutableFile(const std::string& strPath) {
    return IsRegularFile(strPath) && access(strPath.c_str(), X_OK) == 0;
}

bool IsOneOf(char c, const char* pszSet) {
    return c != '\0' && std::strchr(pszSet, c) != nullptr;
}

// An ini-style file: group, then key, to the value (the first one given).
using CIniFile = std::map<std::string, std::map<std::string, std::string>>;

// False when the path is no regular file or cannot be read.
bool ReadIniFile(const std::string& strPath, CIniFile& ini) {
    if (!IsRegularFile(strPath)) {
        return false;
    }
    std::ifstream file(strPath);
    if (!file) {
        return false;
    }
    std::string strLine;
    std::map<std::string, std::string>* pGroup = nullptr;
    while (std::getline(file, strLine)) {
        strLine = Trim(strLine);
        if (strLine.empty() || strLine[0] == '#') {
            continue;
        }
        if (strLine[0] == '[') {
            pGroup = &ini[strLine.substr(1, strLine.find(']') - 1)];
            continue;
        }
        const auto nEqual = strLine.find('=');
        if (pGroup != nullptr && nEqual != std::string::npos) {
            pGroup->emplace(Trim(strLine.substr(0, nEqual)), Trim(strLine.substr(nEqual + 1)));
        }
    }
    return !file.bad();
}

std::string IniValue(const CIniFile& ini, const std::string& strGroup, const std::string& strKey) {
    const auto group = ini.find(strGroup);
    if (group == ini.end()) {
        return "";
    }
    const auto value = group->second.find(strKey);
    return value == group->second.end() ? "" : value->second;
}

// The escapes of a string value; others stay as written, for the quoting
// rules of Exec to read.
std::string UnescapeValue(const std::string& str) {
    std::string strOut;
    for (std::size_t i = 0; i < str.size(); ++i) {
        if (str[i] != '\\' || i + 1 == str.size()) {
            strOut += str[i];
            continue;
        }
        const char c = str[++i];
        switch (c) {
            case 's':
                strOut += ' ';
                break;
            case 'n':
                strOut += '\n';
                break;
            case 't':
                strOut += '\t';
                break;
            case 'r':
                strOut += '\r';
                break;
            case '\\':
                strOut += '\\';
                break;
            default:
                strOut += '\\';
                strOut += c;
        }
    }
    return strOut;
}

// Splits a command line on blanks outside quotes and undoes the quoting.
bool SplitArguments(const std::string& str, std::vector<std::string>& args) {
    std::string strArg;
    bool bInArg = false;
    for (std::size_t i = 0; i < str.size(); ++i) {
        const char c = str[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (bInArg) {
                args.push_back(strArg);
                strArg.clear();
                bInArg = false;
            }
            continue;
        }
        bInArg = true;
        if (c == '"') {
            for (++i; i < str.size() && str[i] != '"'; ++i) {
                if (str[i] == '\\' && i + 1 < str.size() && IsOneOf(str[i + 1], "\"`$\\")) {
                    ++i;
                }
                strArg += str[i];
            }
            if (i == str.size()) {
                return false;  // the quote is not closed
            }
        } else if (c == '\'') {
            const auto nEnd = str.find('\'', i + 1);
            if (nEnd == std::string::npos) {
                return false;
            }
            strArg += str.substr(i + 1, nEnd - i - 1);
            i = nEnd;
        } else if (c == '\\') {
            if (++i == str.size()) {
                return false;
            }
            strArg += str[i];
        } else {
            strArg += c;
        }
    }
    if (bInArg) {
        args.push_back(strArg);
    }
    return true;
}

// Whether every field code of the argument is one that desktop entries may
// use, and those that stand for whole arguments stand alone.
bool ValidFieldCodes(const std::string& strArg) {
    for (std::size_t i = 0; i + 1 < strArg.size(); ++i) {
        if (strArg[i] != '%') {
            continue;
        }
        const char c = strArg[++i];
        if (IsOneOf(c, "UFi")) {
            if (strArg.size() != 2) {
                return false;
            }
        } else if (!IsOneOf(c, "ufckdDnNvm%")) {
            return false;
        }
    }
    return true;
}

bool IsAssignment(const std::string& str) {
    const auto nEqual = str.find('=');
    if (nEqual == 0 || nEqual == std::string::npos ||
        std::isdigit(static_cast<unsigned char>(str[0]))) {
        return false;
    }
    for (std::size_t i = 0; i < nEqual; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(str[i])) && str[i] != '_') {
            return false;
        }
    }
    return true;
}

// Moves the assignments of a leading "env" into the environment; false
// when no program follows them. An env with options of its own stays the
// program.
bool TakeEnvAssignments(CExecCommand& command) {
    std::vector<std::string>& argv = command.argv;
    if (argv.empty() || (argv[0] != "env" && argv[0] != "/usr/bin/env" && argv[0] != "/bin/env")) {
        return true;
    }
    std::size_t n = 1;
    while (n < argv.size() && IsAssignment(argv[n])) {
        ++n;
    }
    if (n == argv.size()) {
        return false;
    }
    if (argv[n][0] != '-') {
        command.env.assign(argv.begin() + 1, argv.begin() + static_cast<std::ptrdiff_t>(n));
        argv.erase(argv.begin(), argv.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return true;
}

// The directories holding desktop entries and mimeapps.list files.
std::vector<std::string> DataDirs() {
    return XdgDirs("XDG_DATA_HOME", "/.local/share", "XDG_DATA_DIRS",
                   "/usr/local/share:/usr/share");
}

std::vector<std::string> ConfigDirs() {
    return XdgDirs("XDG_CONFIG_HOME", "/.config", "XDG_CONFIG_DIRS", "/etc/xdg");
}

// The names of the current desktop, lower case; names that could reach
// another directory are left out.
std::vector<std::string> CurrentDesktops() {
    std::vector<std::string> names;
    for (std::string strName : SplitList(GetEnv("XDG_CURRENT_DESKTOP"), ':')) {
        bool bValid = true;
        for (char& c : strName) {
            bValid =
                bValid && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (bValid) {
            names.push_back(strName);
        }
    }
    return names;
}

// The file of a desktop file id below an applications directory: the id
// itself, or with "-" standing for subdirectories ("kde-foo.desktop" is
// "kde/foo.desktop").
std::string FindEntryFile(const std::string& strDir, const std::string& strId) {
    if (IsRegularFile(strDir + "/" + strId)) {
        return strDir + "/" + strId;
    }
    for (auto nDash = strId.find('-'); nDash != std::string::npos;
         nDash = strId.find('-', nDash + 1)) {
        const std::string strSub = strDir + "/" + strId.substr(0, nDash);
        if (IsDirectory(strSub)) {
            std::string strFound = FindEntryFile(strSub, strId.substr(nDash + 1));
            if (!strFound.empty()) {
                return strFound;
            }
        }
    }
    return "";
}

// The command and program of the desktop entry with this id; false when it
// is not installed, hidden, without a usable Exec or its program is missing.
bool LoadEntry(const std::string& strId, CExecCommand& command, std::string& strProgram) {
    if (strId.find('/') != std::string::npos) {
        return false;
    }
    for (const std::string& strDir : DataDirs()) {
        const std::string strPath = FindEntryFile(strDir + "/applications", strId);
        CIniFile ini;
        if (strPath.empty() || !ReadIniFile(strPath, ini)) {
            continue;
        }
        // The first entry with the id hides those of the later directories.
        const std::string strExec = IniValue(ini, "Desktop Entry", "Exec");
        CExecCommand parsed;
        if (IniValue(ini, "Desktop Entry", "Hidden") == "true" || strExec.empty() ||
            !ParseExec(strExec, parsed)) {
            return false;
        }
        const std::string strFound = SearchPath(parsed.argv[0]);
        if (strFound.empty()) {
            return false;
        }
        parsed.strName = UnescapeValue(IniValue(ini, "Desktop Entry", "Name"));
        parsed.strIcon = UnescapeValue(IniValue(ini, "Desktop Entry", "Icon"));
        parsed.strEntryPath = strPath;
        command = parsed;
        strProgram = strFound;
        return true;
    }
    return false;
}

// The first usable entry of the type: the defaults of the mimeapps.list
// files, then their added associations, then mimeinfo.cache, each in the
// freedesktop.org order: desktop-specific lists first, user before system.
bool FindHandler(const std::string& strType, CExecCommand& command, std::string& strProgram) {
    std::vector<std::string> appDirs;
    for (const std::string& strDir : DataDirs()) {
        appDirs.push_back(strDir + "/applications");
    }
    std::vector<std::string> listDirs = ConfigDirs();
    listDirs.insert(listDirs.end(), appDirs.begin(), appDirs.end());
    struct CList {
        CIniFile ini;
        bool bDesktop;  // desktop-specific: only its defaults count
    };
    std::vector<CList> lists;
    for (const std::string& strDir : listDirs) {
        for (const std::string& strDesktop : CurrentDesktops()) {
            CList list{{}, true};
            if (ReadIniFile(strDir + "/" + strDesktop + "-mimeapps.list", list.ini)) {
                lists.push_back(std::move(list));
            }
        }
        CList list{{}, false};
        if (ReadIniFile(strDir + "/mimeapps.list", list.ini)) {
            lists.push_back(std::move(list));
        }
    }
    std::set<std::string> removed;
    const auto tryIds = [&](const std::string& strIds, bool bFiltered) {
        for (const std::string& strId : SplitList(strIds, ';')) {
            if ((!bFiltered || removed.count(strId) == 0) &&
                LoadEntry(strId, command, strProgram)) {
                return true;
            }
        }
        return false;
    };
    for (const CList& list : lists) {
        if (tryIds(IniValue(list.ini, "Default Applications", strType), false)) {
            return true;
        }
    }
    for (const CList& list : lists) {
        if (list.bDesktop) {
            continue;
        }
        for (const std::string& strId :
             SplitList(IniValue(list.ini, "Removed Associations", strType), ';')) {
            removed.insert(strId);
        }
        if (tryIds(IniValue(list.ini, "Added Associations", strType), true)) {
            return true;
        }
    }
    for (const std::string& strDir : appDirs) {
        CIniFile cache;
        if (ReadIniFile(strDir + "/mimeinfo.cache", cache) &&
            tryIds(IniValue(cache, "MIME Cache", strType), true)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ShellOpenAsync(const std::string& strFile, std::function<void(int nCode)> done) {
    try {
        std::thread([strFile, done] { done(RunOpener(strFile)); }).detach();
    } catch (const std::system_error&) {
        done(SE_ERR_OOM);  // no thread to wait on it: nothing was started
    }
}

bool SpawnProgram(const std::string& strProgram, const std::vector<std::string>& args,
                  const std::vector<std::string>& env) {
    std::vector<std::string> environment;
    for (char** ppsz = environ; *ppsz != nullptr; ++ppsz) {
        const std::string strVar = *ppsz;
        const auto nEqual = strVar.find('=');
        bool bReplaced = false;
        for (const std::string& strSet : env) {
            bReplaced = bReplaced || (nEqual != std::string::npos &&
                                      strSet.compare(0, nEqual + 1, strVar, 0, nEqual + 1) == 0);
        }
        if (!bReplaced) {
            environment.push_back(strVar);
        }
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (const std::string& strVar : environment) {
        envp.push_back(const_cast<char*>(strVar.c_str()));
    }
    envp.push_back(nullptr);
    const pid_t pid = Spawn(strProgram, args, false, envp.data());
    if (pid < 0) {
        return false;
    }
    Reap(pid);
    return true;
}

bool ParseExec(const std::string& strExec, CExecCommand& command) {
    CExecCommand parsed;
    if (!SplitArguments(UnescapeValue(strExec), parsed.argv) || !TakeEnvAssignments(parsed) ||
        parsed.argv.empty() || parsed.argv[0].empty()) {
        return false;
    }
    for (const std::string& strArg : parsed.argv) {
        if (!ValidFieldCodes(strArg)) {
            return false;
        }
    }
    command.env = std::move(parsed.env);
    command.argv = std::move(parsed.argv);
    return true;
}

std::vector<std::string> ExecArgv(const CExecCommand& command, const std::string& strURL) {
    std::vector<std::string> argv;
    bool bURL = false;  // whether the URL has its place
    for (const std::string& strArg : command.argv) {
        if (strArg == "%i") {
            if (!command.strIcon.empty()) {
                argv.push_back("--icon");
                argv.push_back(command.strIcon);
            }
            continue;
        }
        std::string strOut;
        bool bKeep = strArg.empty();  // "" stays an argument
        const auto append = [&](const std::string& str) {
            strOut += str;
            bKeep = bKeep || !str.empty();
        };
        for (std::size_t i = 0; i < strArg.size(); ++i) {
            if (strArg[i] != '%' || i + 1 == strArg.size()) {
                append(std::string(1, strArg[i]));
                continue;
            }
            switch (strArg[++i]) {
                case 'u':
                case 'U':
                case 'f':
                case 'F':
                    if (!bURL) {
                        append(strURL);
                        bKeep = bURL = true;
                    }
                    break;
                case '%':
                    append("%");
                    break;
                case 'c':
                    append(command.strName);
                    break;
                case 'k':
                    append(command.strEntryPath);
                    break;
                default:  // deprecated: dropped
                    break;
            }
        }
        if (bKeep) {
            argv.push_back(strOut);
        }
    }
    if (!bURL) {
        argv.push_back(strURL);
    }
    return argv;
}

std::string SearchPath(const std::string& strName) {
    if (strName.empty()) {
        return "";
    }
    if (strName.find('/') != std::string::npos) {
        return IsExecutableFile(strName) ? strName : "";
    }
    for (const std::string& strDir : SplitList(GetEnv("PATH"), ':')) {
        const std::string strPath = strDir + "/" + strName;
        if (IsExecutableFile(strPath)) {
            return strPath;
        }
    }
    return "";
}

int FindAssociatedProgram(const std::string& strFile, std::string& strProgram) {
    CExecCommand command;
    return FindAssociatedProgram(strFile, strProgram, command);
}

int FindAssociatedProgram(const std::string& strFile, std::string& strProgram,
                          CExecCommand& command) {
    struct stat st {};
    if (stat(strFile.c_str(), &st) != 0) {
        return SE_ERR_FNF;
    }
    const auto nDot = strFile.rfind('.');
    const std::string strExt = nDot == std::string::npos ? "" : strFile.substr(nDot + 1);
    if (CompareNoCase(strExt, "htm") != 0 && CompareNoCase(strExt, "html") != 0) {
        return SE_ERR_NOASSOC;
    }
    CExecCommand found;
    std::string strFound;
    if (!FindHandler("text/html", found, strFound)) {
        return SE_ERR_NOASSOC;
    }
    strProgram = strFound;
    command = found;
    return kFound;
}
