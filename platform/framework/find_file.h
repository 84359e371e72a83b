// The directory search: FindFirstFileA, FindNextFileA, FindClose.
//
// The pattern is "FOLDER/WILDCARD"; the wildcard ('*' and '?') matches names
// in any letter case, and entries of every kind are returned. The names are
// listed once, when the search starts, and yielded in case-insensitive name
// order, so files created while a search is open are never returned by it.
// When FindFirstFileA returns no entry, GetLastError() says why:
// ERROR_FILE_NOT_FOUND when the folder holds no match; otherwise the folder
// could not be read, and errno holds the system's reason.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_FIND_FILE_H_
#define VEILMARK_PLATFORM_FRAMEWORK_FIND_FILE_H_

#include "platform/framework/win_types.h"

struct WIN32_FIND_DATAA {
  char cFileName[MAX_PATH];
};

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_READ_FAULT 30
DWORD GetLastError();

#endif  // VEILMARK_PLATFORM_FRAMEWORK_FIND_FILE_H_
