// The Communicator user profiles: which ones have a usable bookmark file.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"

constexpr const char* kUsersKey = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";

// The profile directory of a user ("DirRoot", expanded when it is an expandable
// string). strDir changes only on success.
bool GetProfileDirRoot(CRegistry& registry, const char* pszUser, std::string& strDir);
// Whether the file opens for reading and for reading and writing; it is never
// created or changed.
bool CanOpenForWriting(CFileSystem& fileSystem, const char* pszPath);
// The bookmark file of a profile directory.
std::string ProfileBookmarkFile(const std::string& strDir);
// The users whose bookmark file is usable, sorted by name without case.
std::vector<std::string> FillUserList(CRegistry& registry, CFileSystem& fileSystem);
