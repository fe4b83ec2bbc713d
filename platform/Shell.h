// The shell's services: opening a document or link with the desktop's
// handler, which program opens a kind of file, starting a program.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Opens the file or URL the system's way and returns at once. done gets, on a
// thread of its own, a value greater than 32 on success, else the error code
// of the Windows open action. On Windows that is ShellExecuteA's own answer.
// On Linux xdg-open is started (without a shell), as it may wait for the
// handler it starts, and its exit status becomes a code:
//   0 (success)                               42
//   1 (a name it does not take, e.g. "-x")     2  the file was not found
//   2 (the file does not exist)                2  the file was not found
//   3 (no tool for this desktop)              31  no application associated
//   4 (the action failed), other ends          1  without explanation
// xdg-open not started: 31 when it is not installed, 5 when it may not be
// run, 8 when memory or processes run short.
void ShellOpenAsync(const std::string& strFile, std::function<void(int nCode)> done);

#ifdef _WIN32
// One argument as the C run-time of a started program splits its command
// line: quoted when it holds a blank or a quote, backslashes before a quote
// doubled, so that the program gets exactly this text.
std::string QuoteArgument(const std::string& strArg);
#endif

// Starts a program with exactly these arguments (argument 0 included), without
// a shell and without waiting. Its environment is this program's, with the
// NAME=value assignments of env set (on Linux). False when it could not be
// started.
bool SpawnProgram(const std::string& strProgram, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {});

// The command line that opens a URL. On Linux a desktop entry's Exec key, read
// by freedesktop.org's desktop entry rules: quoting, escapes and field codes;
// on Windows the program alone.
struct CExecCommand {
    // NAME=value assignments of a leading "env", set for the program.
    std::vector<std::string> env;
    // The program and its arguments, quoting undone, field codes still in.
    std::vector<std::string> argv;
    std::string strName;       // for %c
    std::string strIcon;       // for %i
    std::string strEntryPath;  // for %k
};

#ifndef _WIN32
// Reads an Exec value as the file holds it: the string escapes (\s \n \t \r
// \\) first, then arguments split on blanks outside quotes, double quotes
// with \" \` \$ \\ inside (single quotes and a backslash outside quotes as
// the shell reads them). A leading "env NAME=value ..." leaves its
// assignments in env. False for broken quoting, an unknown field code, %U %F
// or %i inside a longer argument, or no program.
bool ParseExec(const std::string& strExec, CExecCommand& command);
#endif

// The arguments that open the URL. On Windows the program and the URL. On
// Linux %u %U %f %F are the URL (only the first of them), %% is %, %c the
// name, %k the entry's file, %i "--icon" and the icon when there is one, and
// %d %D %n %N %v %m are dropped; an argument that expands to nothing is left
// out. Without a URL field code the URL is the last argument. The URL itself
// is not read for field codes.
std::vector<std::string> ExecArgv(const CExecCommand& command, const std::string& strURL);

// The program that opens a file of this name: on Windows FindExecutableA's
// answer; on Linux the desktop's default application for its type (".htm"
// and ".html" are text/html), looked up in the freedesktop.org order of
// mimeapps.list files. Returns a value greater than 32, the program's full
// path and its command line on success, as the Windows lookup does; 31 when
// no usable program is associated, 2 when the file is missing.
int FindAssociatedProgram(const std::string& strFile, std::string& strProgram);
int FindAssociatedProgram(const std::string& strFile, std::string& strProgram,
                          CExecCommand& command);

#ifndef _WIN32
// Looks a program name up in PATH; a name with a "/" is taken as it is.
// Empty when it is not an executable file.
std::string SearchPath(const std::string& strName);
#endif
