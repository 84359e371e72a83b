// The Win32 calls through which the platform's Windows code creates,
// reads, writes, flushes, renames, deletes and looks at files, and gives
// them their access: each passes straight to the system's function of the
// same name. They sit in one object of their own (system_calls.cc), so that a
// program can bring its own definitions of all of them instead, linked
// before the platform library, as the tests' fault harness does to see,
// fail or act at each call (tests/faults.h).
#ifndef VEILMARK_PLATFORM_WIN32_SYSTEM_CALLS_H_
#define VEILMARK_PLATFORM_WIN32_SYSTEM_CALLS_H_

#include "platform/win32/windows_api.h"

namespace sys {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                   LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
               LPOVERLAPPED at);
BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
              LPOVERLAPPED at);
BOOL FlushFileBuffers(HANDLE file);
// Flushes each of `files` in turn, stopping at the first that fails: how
// Windows, which has no call that flushes a file system short of a whole
// volume, flushes a group of files at once.
BOOL FlushFiles(const HANDLE* files, DWORD count);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                LPVOID info, DWORD size);
BOOL DeleteFileW(LPCWSTR path);
DWORD SetSecurityInfo(HANDLE file, SE_OBJECT_TYPE type,
                      SECURITY_INFORMATION which, PSID owner, PSID group,
                      PACL dacl, PACL sacl);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level,
                          LPVOID info);

}  // namespace sys

#endif  // VEILMARK_PLATFORM_WIN32_SYSTEM_CALLS_H_
