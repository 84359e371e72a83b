// The fault harness on Windows: its definitions of the platform's file
// calls (platform/win32/system_calls.h) replace the platform's own, and
// call the system once the harness lets the call go on.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/system.h"
#include "platform/win32/system_calls.h"
#include "tests/fault_calls.h"
#include "tests/win32/stop_events.h"
// After windows.h, which it needs, with the system's MAX_PATH.
#pragma push_macro("MAX_PATH")
#undef MAX_PATH
#define MAX_PATH 260
#include <tlhelp32.h>
#pragma pop_macro("MAX_PATH")

namespace faults {

bool RenameCanBeUnableToRefuse() { return false; }

namespace {

// `wide` as a test names it: UTF-8, without the long form's prefix.
std::string Shown(std::wstring wide) {
  if (wide.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    wide.replace(0, 8, L"\\\\");
  } else if (wide.compare(0, 4, L"\\\\?\\") == 0 ||
             wide.compare(0, 4, L"\\??\\") == 0) {
    wide.erase(0, 4);
  }
  return win32::WideToUtf8(wide);
}

std::string PathOf(HANDLE file) {
  std::wstring path(1024, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(
        file, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      return Shown(path);
    }
    path.resize(length + 1);
  }
}

bool IsFolder(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD Win32ErrorOf(int error) {
  switch (error) {
    case EIO:
      return ERROR_IO_DEVICE;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// 0 when the call goes on; otherwise the Win32 error it fails with, also
// set as the thread's last error.
DWORD Pass(const Call& call) {
  const int error = Check(call);
  if (error == 0) return 0;
  const DWORD code = Win32ErrorOf(error);
  SetLastError(code);
  return code;
}

// What `access` asks of a file besides its attributes: nothing, for a look.
bool AttributesAlone(DWORD access) {
  return (access & ~DWORD{FILE_READ_ATTRIBUTES | SYNCHRONIZE}) == 0;
}

// The console's events for the signals that ask a program to stop.
DWORD ConsoleEventOf(int signal) {
  switch (signal) {
    case kInterrupt:
      return CTRL_C_EVENT;
    case 3:
      return CTRL_BREAK_EVENT;
    case kHangUp:
      return CTRL_CLOSE_EVENT;
    default:
      return CTRL_SHUTDOWN_EVENT;
  }
}

// Suspends every other thread, then ends the process as TerminateProcess
// ends one: under wine, a process that ends itself while its other threads
// run can hang in the system's own locks.
void KillThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId() ||
        entry.th32ThreadID == GetCurrentThreadId()) {
      continue;
    }
    HANDLE thread =
        OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread) {
      SuspendThread(thread);
      CloseHandle(thread);
    }
  }
  TerminateProcess(GetCurrentProcess(), 128 + kKill);
}

// As the system delivers a console event: through its dispatcher, which
// calls the process's handlers, on a thread of its own.
void SendConsoleEvent(DWORD event) {
  auto dispatcher =
      reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
  HANDLE thread =
      dispatcher ? CreateThread(
                       nullptr, 0, dispatcher,
                       reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(event)),
                       0, nullptr)
                 : nullptr;
  if (thread) CloseHandle(thread);
}

}  // namespace

void Deliver(int signal) {
  if (signal == kKill) {
    KillThisProcess();
  } else if (signal == kStop) {
    StopEvents(GetCurrentProcessId()).StopHere();
  } else {
    SendConsoleEvent(ConsoleEventOf(signal));
  }
}

}  // namespace faults

using faults::Call;
using faults::Op;
using faults::Pass;
using faults::PathOf;
using faults::Shown;

namespace sys {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                   LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  const Op op = disposition == CREATE_NEW         ? Op::kCreateTemp
                : faults::AttributesAlone(access) ? Op::kStat
                                                  : Op::kOpen;
  if (faults::Watching() && Pass(Call(op, Shown(path)))) return kInvalidHandle;
  return ::CreateFileW(path, access, share, security, disposition, flags,
                       model);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
               LPOVERLAPPED at) {
  if (faults::Watching()) {
    Call call(Op::kWrite, PathOf(file));
    call.size = size;
    if (Pass(call)) return FALSE;
  }
  return ::WriteFile(file, data, size, written, at);
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
              LPOVERLAPPED at) {
  if (faults::Watching() && Pass(Call(Op::kRead, PathOf(file)))) return FALSE;
  return ::ReadFile(file, data, size, read, at);
}

BOOL FlushFileBuffers(HANDLE file) {
  if (faults::Watching() &&
      Pass(Call(faults::IsFolder(file) ? Op::kFlushFolder : Op::kFlushFile,
                PathOf(file)))) {
    return FALSE;
  }
  return ::FlushFileBuffers(file);
}

BOOL FlushFiles(const HANDLE* files, DWORD count) {
  if (faults::Watching()) {
    std::string folder = count > 0 ? PathOf(files[0]) : "";
    folder.erase(std::min(folder.size(), folder.rfind('\\')));
    if (Pass(Call(Op::kFlushAll, folder))) return FALSE;
  }
  for (DWORD i = 0; i < count; ++i) {
    if (!::FlushFileBuffers(files[i])) return FALSE;
  }
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (faults::Watching() && Pass(Call(Op::kRename, Shown(from), Shown(to),
                                      !(flags & MOVEFILE_REPLACE_EXISTING)))) {
    return FALSE;
  }
  return ::MoveFileExW(from, to, flags);
}

BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                LPVOID info, DWORD size) {
  const bool deletes =
      kind == FileDispositionInfo &&
      static_cast<const FILE_DISPOSITION_INFO*>(info)->DeleteFile;
  if (faults::Watching() && (deletes || kind == FileBasicInfo) &&
      Pass(Call(deletes ? Op::kUnlink : Op::kAccess, PathOf(file)))) {
    return FALSE;
  }
  return ::SetFileInformationByHandle(file, kind, info, size);
}

BOOL DeleteFileW(LPCWSTR path) {
  if (faults::Watching() && Pass(Call(Op::kUnlink, Shown(path)))) return FALSE;
  return ::DeleteFileW(path);
}

DWORD SetSecurityInfo(HANDLE file, SE_OBJECT_TYPE type,
                      SECURITY_INFORMATION which, PSID owner, PSID group,
                      PACL dacl, PACL sacl) {
  if (faults::Watching()) {
    if (const DWORD code = Pass(Call(Op::kAccess, PathOf(file)))) return code;
  }
  return ::SetSecurityInfo(file, type, which, owner, group, dacl, sacl);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
  if (faults::Watching() && Pass(Call(Op::kAccess, Shown(path)))) return FALSE;
  return ::SetFileAttributesW(path, attributes);
}

DWORD GetFileAttributesW(LPCWSTR path) {
  if (faults::Watching() && Pass(Call(Op::kStat, Shown(path)))) {
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesW(path);
}

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level,
                          LPVOID info) {
  if (faults::Watching() && Pass(Call(Op::kStat, Shown(path)))) return FALSE;
  return ::GetFileAttributesExW(path, level, info);
}

}  // namespace sys
