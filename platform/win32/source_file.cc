#include "platform/system/source_file.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/win32/files.h"
#include "platform/win32/system.h"
#include "platform/win32/system_calls.h"

// An original is pinned by the way it is opened: shared for reading alone,
// so that while it is open nobody can write to it, rename it, delete it or
// put another file under its name. Its path then names the opened file, and
// a loader that opens it again (DCMTK, for values it reads later) reads the
// same data. Only this process deletes it, through DeleteFileA, which lets
// go of it first (LetGoOfOriginal) and deletes the very file it held.

namespace {

long long Ticks(const FILETIME& time) {
  return static_cast<long long>(
      static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
}

// The originals held open, for DeleteFileA.
struct Held {
  win32::FileId id;
  void** handle;
};
std::mutex heldMutex;
std::vector<Held>& HeldFiles() {
  static std::vector<Held>* held = new std::vector<Held>;
  return *held;
}

}  // namespace

namespace win32 {

bool LetGoOfOriginal(const FileId& id) {
  std::lock_guard<std::mutex> lock(heldMutex);
  std::vector<Held>& held = HeldFiles();
  bool found = false;
  for (auto it = held.begin(); it != held.end();) {
    if (it->id == id) {
      CloseHandle(static_cast<HANDLE>(*it->handle));
      *it->handle = nullptr;
      it = held.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found;
}

}  // namespace win32

SourceFile::~SourceFile() { Close(); }

void SourceFile::Close() {
  std::lock_guard<std::mutex> lock(heldMutex);
  std::vector<Held>& held = HeldFiles();
  held.erase(
      std::remove_if(held.begin(), held.end(),
                     [&](const Held& h) { return h.handle == &handle_; }),
      held.end());
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

SourceFile::Result SourceFile::Open(const std::string& path, std::string* error,
                                    bool withAccess) {
  const std::wstring wide = win32::WidePath(path);
  WIN32_FILE_ATTRIBUTE_DATA look;
  if (!sys::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &look)) {
    *error = win32::LastErrorText();
    return kFailed;
  }
  if (look.dwFileAttributes &
      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
       FILE_ATTRIBUTE_DEVICE)) {
    return kNotRegular;
  }
  // The name may have changed kind since the look above: a link is opened
  // as itself, and what was opened is looked at again.
  HANDLE file = sys::CreateFileW(wide.c_str(), GENERIC_READ | READ_CONTROL,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == kInvalidHandle) {
    *error = win32::LastErrorText();
    return kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || !win32::IsPlainFile(info) ||
      GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return kNotRegular;
  }
  Close();
  handle_ = file;
  const win32::FileId id = win32::IdOf(info);
  dev_ = id.volume;
  ino_ = id.index;
  size_ = static_cast<unsigned long long>(info.nFileSizeHigh) << 32 |
          info.nFileSizeLow;
  mtimeNs_ = Ticks(info.ftLastWriteTime);
  if (withAccess) access_ = win32::ReadAccess(file);
  readPath_ = path;
  std::lock_guard<std::mutex> lock(heldMutex);
  HeldFiles().push_back({id, &handle_});
  return kOpened;
}

long SourceFile::ReadFromFile(unsigned long long offset, void* buffer,
                              unsigned long count, std::string* error) const {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (!sys::ReadFile(static_cast<HANDLE>(handle_), buffer, count, &n, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    const std::string reason = win32::LastErrorText();  // errno too
    if (error) *error = reason;
    return -1;
  }
  return static_cast<long>(n);
}

bool SourceFile::UnchangedAt(const std::string& path) const {
  if (!handle_) return false;
  HANDLE named = win32::OpenAttributes(win32::WidePath(path));
  if (named == kInvalidHandle) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same =
      GetFileInformationByHandle(named, &a) &&
      GetFileInformationByHandle(static_cast<HANDLE>(handle_), &b) &&
      win32::IdOf(a) == win32::IdOf(b) && a.dwVolumeSerialNumber == dev_ &&
      (static_cast<ULONGLONG>(b.nFileSizeHigh) << 32 | b.nFileSizeLow) ==
          size_ &&
      Ticks(b.ftLastWriteTime) == mtimeNs_;
  CloseHandle(named);
  return same;
}
