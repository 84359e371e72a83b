// The handful of Windows type names and constants the program is written in.
#ifndef VEILMARK_PLATFORM_WIN_TYPES_H_
#define VEILMARK_PLATFORM_WIN_TYPES_H_

#include <limits.h>

#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef const char* LPCSTR;
typedef const char* LPCTSTR;
typedef void* HANDLE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A path as long as this platform allows, with its terminating NUL.
#define MAX_PATH PATH_MAX
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(-1))

#endif  // VEILMARK_PLATFORM_WIN_TYPES_H_
