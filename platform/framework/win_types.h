// The handful of Windows type names and constants the program is written in.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_WIN_TYPES_H_
#define VEILMARK_PLATFORM_FRAMEWORK_WIN_TYPES_H_

#include <limits.h>

#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
#ifdef _WIN32
typedef unsigned long DWORD;  // as the system's headers have it
#else
typedef std::uint32_t DWORD;
#endif
typedef const char* LPCSTR;
typedef const char* LPCTSTR;
typedef void* HANDLE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A path as long as this platform allows, with its terminating NUL. On
// Windows, the 32,767 UTF-16 units the wide API takes, as UTF-8 (at most
// three bytes each), rather than the system's 260 characters.
#ifdef _WIN32
#undef MAX_PATH
#define MAX_PATH (32767 * 3 + 1)
#else
#define MAX_PATH PATH_MAX
#endif
#ifdef INVALID_HANDLE_VALUE  // the system's, from <windows.h>: the same value
#undef INVALID_HANDLE_VALUE
#endif
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(-1))

#endif  // VEILMARK_PLATFORM_FRAMEWORK_WIN_TYPES_H_
