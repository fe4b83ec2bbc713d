// The shell's services: opening a document or link with the desktop's
// handler, which program opens a kind of file, starting a program.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Opens the file or URL the desktop's way: starts xdg-open (without a shell)
// and returns at once, as xdg-open may wait for the handler it starts. When
// xdg-open ends, done gets, on a thread of its own, a value greater than 32
// on success, else the error code of the Windows open action that fits what
// went wrong. xdg-open's exit status:
//   0 (success)                               42
//   1 (a name it does not take, e.g. "-x")     2  the file was not found
//   2 (the file does not exist)                2  the file was not found
//   3 (no tool for this desktop)              31  no application associated
//   4 (the action failed), other ends          1  without explanation
// xdg-open not started: 31 when it is not installed, 5 when it may not be
// run, 8 when memory or processes run short.
void ShellOpenAsync(const std::string& strFile, std::function<void(int nCode)> done);

// Starts a program with exactly these arguments (argument 0 included), without
// a shell and without waiting. False when it could not be started.
bool SpawnProgram(const std::string& strProgram, const std::vector<std::string>& args);

// The program that opens a file of this name, as the desktop's default
// application for its type (".htm" and ".html" are text/html), looked up as
// the XDG MIME Applications Specification says. Returns a value greater than
// 32 and the program's full path on success, as the Windows lookup does; 31
// when no usable program is associated, 2 when the file is missing.
int FindExecutable(const std::string& strFile, std::string& strProgram);

// Looks a program name up in PATH; a name with a "/" is taken as it is.
// Empty when it is not an executable file.
std::string SearchPath(const std::string& strName);

// The first word of a desktop entry's Exec line, quotes removed; empty when
// the line has none.
std::string ExecProgram(const std::string& strExec);
