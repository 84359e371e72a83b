#include "platform/win32/system_calls.h"

namespace sys {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                   LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  return ::CreateFileW(path, access, share, security, disposition, flags,
                       model);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
               LPOVERLAPPED at) {
  return ::WriteFile(file, data, size, written, at);
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
              LPOVERLAPPED at) {
  return ::ReadFile(file, data, size, read, at);
}

BOOL FlushFileBuffers(HANDLE file) { return ::FlushFileBuffers(file); }

BOOL FlushFiles(const HANDLE* files, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    if (!::FlushFileBuffers(files[i])) return FALSE;
  }
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  return ::MoveFileExW(from, to, flags);
}

BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                LPVOID info, DWORD size) {
  return ::SetFileInformationByHandle(file, kind, info, size);
}

BOOL DeleteFileW(LPCWSTR path) { return ::DeleteFileW(path); }

DWORD SetSecurityInfo(HANDLE file, SE_OBJECT_TYPE type,
                      SECURITY_INFORMATION which, PSID owner, PSID group,
                      PACL dacl, PACL sacl) {
  return ::SetSecurityInfo(file, type, which, owner, group, dacl, sacl);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
  return ::SetFileAttributesW(path, attributes);
}

DWORD GetFileAttributesW(LPCWSTR path) { return ::GetFileAttributesW(path); }

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level,
                          LPVOID info) {
  return ::GetFileAttributesExW(path, level, info);
}

}  // namespace sys
