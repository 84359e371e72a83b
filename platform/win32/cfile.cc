#include "platform/framework/cfile.h"

#include "platform/win32/files.h"
#include "platform/win32/system.h"
#include "platform/win32/system_calls.h"

namespace {

bool Failed(std::string* error) {
  const std::string text = win32::LastErrorText();
  if (error) *error = text;
  return false;
}

HANDLE Handle(void* handle) { return static_cast<HANDLE>(handle); }

// The byte a run locks: far beyond any data, so that the lock keeps other
// runs out without keeping anyone from reading the record (a Windows lock
// holds off reads and writes of the bytes it covers).
constexpr DWORD kLockAtHigh = 0x40000000;

}  // namespace

CString CFileException::GetErrorMessage() const {
  return CString(win32::ErrorText(static_cast<unsigned long>(m_lOsError)));
}

bool CFile::IsOpen() const { return handle_ != nullptr; }

CFile::~CFile() {
  if (handle_) CloseHandle(Handle(handle_));
}

CFile& CFile::operator=(CFile&& other) {
  if (this != &other) {
    if (handle_) CloseHandle(Handle(handle_));
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

BOOL CFile::Open(LPCTSTR file_name, UINT flags) {
  if (handle_) return FALSE;
  // Shared for deletion: an undo renames a new record over this one while
  // it is open, and the new one is renamed while it is open too.
  HANDLE file = sys::CreateFileW(
      win32::WidePath(file_name).c_str(),
      GENERIC_READ | READ_CONTROL | (flags & modeReadWrite ? GENERIC_WRITE : 0),
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      flags & modeCreate ? win32::OwnerOnly() : nullptr,
      flags & modeCreate ? OPEN_ALWAYS : OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == kInvalidHandle) return FALSE;
  // A link (any reparse point) is opened as itself, and refused here,
  // before it is emptied.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || !win32::IsPlainFile(info) ||
      GetFileType(file) != FILE_TYPE_DISK ||
      ((flags & modeCreate) && !(flags & modeNoTruncate) &&
       !SetEndOfFile(file))) {
    CloseHandle(file);
    return FALSE;
  }
  handle_ = file;
  return TRUE;
}

void CFile::Write(const void* buffer, UINT count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD n = 0;
    if (!sys::WriteFile(Handle(handle_), p, count, &n, nullptr)) {
      throw CFileException(static_cast<int>(GetLastError()));
    }
    if (n == 0) throw CFileException(ERROR_WRITE_FAULT);
    p += n;
    count -= n;
  }
}

void CFile::Close() {
  if (!handle_) return;
  HANDLE file = Handle(handle_);
  handle_ = nullptr;
  if (!CloseHandle(file)) {
    throw CFileException(static_cast<int>(GetLastError()));
  }
}

bool CFile::Flush(std::string* error) {
  return sys::FlushFileBuffers(Handle(handle_)) || Failed(error);
}

bool CFile::SeekToEnd(std::uint64_t* length, std::string* error) {
  LARGE_INTEGER at;
  if (!SetFilePointerEx(Handle(handle_), LARGE_INTEGER{}, &at, FILE_END)) {
    return Failed(error);
  }
  *length = static_cast<std::uint64_t>(at.QuadPart);
  return true;
}

long CFile::ReadAt(std::uint64_t offset, void* buffer, UINT count) const {
  // A read at an offset moves a Windows file's position; the writes that
  // follow expect it where it was.
  LARGE_INTEGER was;
  if (!SetFilePointerEx(Handle(handle_), LARGE_INTEGER{}, &was, FILE_CURRENT)) {
    win32::LastErrorText();
    return -1;
  }
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  const bool read = sys::ReadFile(Handle(handle_), buffer, count, &n, &at) ||
                    GetLastError() == ERROR_HANDLE_EOF;
  if (!read) win32::LastErrorText();  // errno, for the caller
  SetFilePointerEx(Handle(handle_), was, nullptr, FILE_BEGIN);
  return read ? static_cast<long>(n) : -1;
}

bool CFile::SetLength(std::uint64_t length, std::string* error) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  return (SetFilePointerEx(Handle(handle_), at, nullptr, FILE_BEGIN) &&
          SetEndOfFile(Handle(handle_))) ||
         Failed(error);
}

CFile::LockResult CFile::Lock() {
  // Windows drops the lock when the handle is closed or the process ends.
  OVERLAPPED at = {};
  at.OffsetHigh = kLockAtHigh;
  if (LockFileEx(Handle(handle_),
                 LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &at)) {
    return kLocked;
  }
  const DWORD code = GetLastError();
  return code == ERROR_LOCK_VIOLATION || code == ERROR_SHARING_VIOLATION
             ? kBusy
             : kUnsupported;
}

bool CFile::NamedBy(LPCTSTR file_name) const {
  HANDLE named = win32::OpenAttributes(win32::WidePath(file_name));
  if (named == kInvalidHandle) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = GetFileInformationByHandle(named, &a) &&
                    GetFileInformationByHandle(Handle(handle_), &b) &&
                    win32::IdOf(a) == win32::IdOf(b);
  CloseHandle(named);
  return same;
}

FileAccess CFile::Access() const { return win32::ReadAccess(Handle(handle_)); }
