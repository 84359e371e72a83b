// The directory search: FindFirstFileA, FindNextFileA, FindClose.
//
// The pattern is "FOLDER/WILDCARD"; the wildcard ('*' and '?') matches names
// in any letter case, and entries of every kind are returned. The names are
// listed once, when the search starts, and yielded in case-insensitive name
// order, so files created while a search is open are never returned by it.
#ifndef VEILMARK_PLATFORM_FIND_FILE_H_
#define VEILMARK_PLATFORM_FIND_FILE_H_

#include "platform/win_types.h"

struct WIN32_FIND_DATAA {
  char cFileName[MAX_PATH];
};

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

#endif  // VEILMARK_PLATFORM_FIND_FILE_H_
