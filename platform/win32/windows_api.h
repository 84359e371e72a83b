// <windows.h> for the platform's Windows code alone (platform/win32/*.cc).
//
// The program's own headers name a few things as Windows does (MAX_PATH,
// INVALID_HANDLE_VALUE) with values of their own; these are kept out of
// the system's headers and given back afterwards, in whichever order the
// two are included. The stand-ins that share a Win32 function's name
// (DeleteFileA, FindFirstFileA, GetLastError, ...) cannot meet the system's
// declarations at all: their files use platform/win32/system.h instead.
#ifndef VEILMARK_PLATFORM_WIN32_WINDOWS_API_H_
#define VEILMARK_PLATFORM_WIN32_WINDOWS_API_H_

#ifndef _WIN32
#error "platform/win32 is built for Windows only"
#endif

#pragma push_macro("MAX_PATH")
#pragma push_macro("INVALID_HANDLE_VALUE")
#undef MAX_PATH
#undef INVALID_HANDLE_VALUE

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After it, which they need.
#include <aclapi.h>
#include <shellapi.h>

// Windows' own, under a name that cannot clash.
inline const HANDLE kInvalidHandle = INVALID_HANDLE_VALUE;
// The program's ReplaceFile (platform/system/durable_file.h), not the system's
// macro for ReplaceFileA.
#undef ReplaceFile

#undef MAX_PATH
#undef INVALID_HANDLE_VALUE
#pragma pop_macro("INVALID_HANDLE_VALUE")
#pragma pop_macro("MAX_PATH")

#endif  // VEILMARK_PLATFORM_WIN32_WINDOWS_API_H_
