#include "platform/system/durable_file.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/win32/files.h"
#include "platform/win32/system.h"
#include "platform/win32/system_calls.h"

namespace {

constexpr char kTempPrefix[] = ".veilmark-";
constexpr char kTempSuffix[] = ".tmp";
constexpr size_t kTempRandom = 6;
constexpr int kTempTries = 100;

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool Failed(std::string* error, DWORD code = GetLastError()) {
  const std::string text = win32::ErrorText(code);
  if (error) *error = text;
  return false;
}

std::string RandomPart() {
  static const char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random(std::random_device{}() ^
                                      GetTickCount64() ^ GetCurrentThreadId());
  std::string part;
  for (size_t i = 0; i < kTempRandom; ++i) {
    part += kLetters[random() % (sizeof kLetters - 1)];
  }
  return part;
}

// Creates the file, its creator's alone, and returns it open for writing and
// for giving it its access; kInvalidHandle on failure.
HANDLE OpenTempFile(const std::string& folder, std::string* path,
                    std::string* error) {
  SECURITY_ATTRIBUTES* ownerOnly = win32::OwnerOnly();
  if (!ownerOnly) {
    Failed(error);
    return kInvalidHandle;
  }
  for (int tries = 0; tries < kTempTries; ++tries) {
    const std::string name =
        folder + "/" + kTempPrefix + RandomPart() + kTempSuffix;
    HANDLE file = sys::CreateFileW(
        win32::WidePath(name).c_str(),
        GENERIC_READ | GENERIC_WRITE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
        FILE_SHARE_READ, ownerOnly, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != kInvalidHandle) {
      *path = name;
      return file;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      Failed(error, code);
      return kInvalidHandle;
    }
  }
  Failed(error, ERROR_FILE_EXISTS);
  return kInvalidHandle;
}

// Forces the file's data to the disk and gives it `access`. The flush comes
// first: FlushFileBuffers needs a handle that may write, and the access
// taken may not let this process open one again.
bool FlushAndGiveAccess(HANDLE file, const FileAccess& access,
                        std::string* error) {
  if (!sys::FlushFileBuffers(file)) return Failed(error);
  win32::GiveAccess(file, access);
  return true;
}

bool IsTempName(const std::string& name) {
  const size_t prefix = sizeof kTempPrefix - 1, suffix = sizeof kTempSuffix - 1;
  return name.size() == prefix + kTempRandom + suffix &&
         name.compare(0, prefix, kTempPrefix) == 0 &&
         name.compare(prefix + kTempRandom, suffix, kTempSuffix) == 0;
}

// Calls `found` with the path of each temporary file of `folder` until it
// returns false.
template <typename Found>
void ForEachTempFile(const std::string& folder, Found found) {
  std::vector<std::string> names;
  if (win32::ListFolder(folder, &names) != FolderRead::kRead) return;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    if (IsTempName(name) && IsRegularFile(path) && !found(path)) break;
  }
}

}  // namespace

bool CreateTempFile(const std::string& folder, std::string* path,
                    std::string* error) {
  HANDLE file = OpenTempFile(folder, path, error);
  if (file == kInvalidHandle) return false;
  CloseHandle(file);
  return true;
}

bool WriteTempFile(const std::string& folder, const char* data, size_t size,
                   const FileAccess& access, std::string* path,
                   std::string* error) {
  HANDLE file = OpenTempFile(folder, path, error);
  if (file == kInvalidHandle) return false;
  bool written = true;
  for (size_t done = 0; written && done < size;) {
    const DWORD piece =
        static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD n = 0;
    if (!sys::WriteFile(file, data + done, piece, &n, nullptr)) {
      written = Failed(error);
    } else if (n == 0) {
      written = Failed(error, ERROR_WRITE_FAULT);
    }
    done += n;
  }
  written = written && FlushAndGiveAccess(file, access, error);
  if (!CloseHandle(file) && written) written = Failed(error);
  if (!written) RemoveFile(*path);
  return written;
}

bool GiveAccessAt(const std::string& path, const FileAccess& access,
                  std::string* error) {
  HANDLE file = sys::CreateFileW(win32::WidePath(path).c_str(),
                                 GENERIC_WRITE | READ_CONTROL | WRITE_DAC |
                                     WRITE_OWNER | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == kInvalidHandle) return Failed(error);
  const bool given = FlushAndGiveAccess(file, access, error);
  CloseHandle(file);
  return given;
}

void RemoveLeftoverTempFiles(const std::string& folder) {
  ForEachTempFile(folder, [](const std::string& path) {
    RemoveFile(path);
    return true;
  });
}

std::vector<std::string> LeftoverTempFiles(const std::string& folder) {
  std::vector<std::string> names;
  ForEachTempFile(folder, [&](const std::string& path) {
    names.push_back(path.substr(folder.size() + 1));
    return true;
  });
  return names;
}

namespace {

// Opens the file at `path` for flushing. kInvalidHandle with the reason as
// the last error when it cannot; with ERROR_ACCESS_DENIED for a temporary
// file that took an access without writing for this process (or the
// read-only attribute), which was flushed before it took it.
HANDLE OpenToFlush(const std::string& path) {
  return sys::CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE,
                          kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool SyncFile(const std::string& path, std::string* error) {
  HANDLE file = OpenToFlush(path);
  if (file == kInvalidHandle) {
    return GetLastError() == ERROR_ACCESS_DENIED || Failed(error);
  }
  const bool flushed = sys::FlushFileBuffers(file) || Failed(error);
  CloseHandle(file);
  return flushed;
}

FolderHandle::~FolderHandle() {
  if (handle_) CloseHandle(handle_);
}

FolderHandle::OpenResult FolderHandle::Open(const std::string& path,
                                            std::string* error) {
  const std::wstring wide = win32::WidePath(path);
  // With the right to write, so that its entries can be flushed, where the
  // folder grants it.
  HANDLE folder = sys::CreateFileW(
      wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | GENERIC_WRITE,
      kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == kInvalidHandle && GetLastError() == ERROR_ACCESS_DENIED) {
    folder = sys::CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (folder == kInvalidHandle) {
    const DWORD code = wide.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        code == ERROR_DIRECTORY || code == ERROR_INVALID_NAME) {
      return kMissing;
    }
    Failed(error, code);
    return kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(folder);
    return kMissing;
  }
  handle_ = folder;
  return kOpened;
}

bool FolderHandle::SyncEntries(std::string* error) {
  // The names a run gives are given with MOVEFILE_WRITE_THROUGH, and so are
  // on disk once given; flushing the folder as well is what the file system
  // offers beyond that (NTFS takes it for its entries), and one that offers
  // nothing, or a folder this process may not write to, is no failure.
  if (sys::FlushFileBuffers(handle_)) return true;
  const DWORD code = GetLastError();
  return code == ERROR_ACCESS_DENIED || code == ERROR_INVALID_FUNCTION ||
         code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_PARAMETER ||
         Failed(error, code);
}

bool FolderHandle::SyncFileSystem(const std::vector<std::string>& files,
                                  std::string* error) {
  // Windows flushes no more than a file at a time (short of a whole volume,
  // which takes an administrator): the files are opened, then flushed one
  // after the other.
  std::vector<HANDLE> handles;
  DWORD code = ERROR_SUCCESS;
  for (const std::string& file : files) {
    HANDLE handle = OpenToFlush(file);
    if (handle != kInvalidHandle) {
      handles.push_back(handle);
    } else if (GetLastError() != ERROR_ACCESS_DENIED) {
      code = GetLastError();
      break;
    }
  }
  if (code == ERROR_SUCCESS &&
      !sys::FlushFiles(handles.data(), static_cast<DWORD>(handles.size()))) {
    code = GetLastError();
  }
  for (HANDLE handle : handles) CloseHandle(handle);
  return code == ERROR_SUCCESS || Failed(error, code);
}

PublishResult PublishNoReplace(const std::string& from, const std::string& to,
                               std::string* error) {
  if (sys::MoveFileExW(win32::WidePath(from).c_str(),
                       win32::WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
    return PublishResult::kDone;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
    return PublishResult::kNameTaken;
  }
  Failed(error, code);
  return PublishResult::kFailed;
}

bool ReplaceFile(const std::string& from, const std::string& to,
                 const std::function<void()>& letGo, std::string* error) {
  // Windows replaces no file that is open: ours goes first. Should another
  // process open the old file before the rename, the rename fails and that
  // process keeps the record it holds.
  if (letGo) letGo();
  if (sys::MoveFileExW(win32::WidePath(from).c_str(),
                       win32::WidePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  return Failed(error, GetLastError());
}

PublishResult ProbeName(const std::string& path) {
  if (sys::GetFileAttributesW(win32::WidePath(path).c_str()) !=
      INVALID_FILE_ATTRIBUTES) {
    return PublishResult::kNameTaken;
  }
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
             ? PublishResult::kDone
             : PublishResult::kFailed;
}

bool CanCreateFilesIn(const std::string& folder) {
  // Opening the folder for adding a file asks its DACL without adding one.
  HANDLE handle = sys::CreateFileW(
      win32::WidePath(folder).c_str(), FILE_ADD_FILE, kShareAll, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == kInvalidHandle) return false;
  CloseHandle(handle);
  return true;
}

bool EntryExists(const std::string& path) {
  return sys::GetFileAttributesW(win32::WidePath(path).c_str()) !=
         INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes =
      sys::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY |
                         FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

void RemoveFile(const std::string& path) {
  const std::wstring wide = win32::WidePath(path);
  if (sys::DeleteFileW(wide.c_str()) || GetLastError() != ERROR_ACCESS_DENIED) {
    return;
  }
  // A copy that took its original's read-only attribute is still the run's
  // own to take back.
  const DWORD attributes = sys::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) &&
      sys::SetFileAttributesW(wide.c_str(),
                              attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
    sys::DeleteFileW(wide.c_str());
  }
}

bool IsEntryName(const std::string& name) {
  // Besides the separators, a colon names a stream of a file ("a:b" is
  // stream b of a), and the others are refused in names by Windows.
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\:*?\"<>|\0", 10)) ==
             std::string::npos;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes =
      sys::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakePrivateFolder(const std::string& path, std::string* error) {
  SECURITY_ATTRIBUTES* ownerOnly = win32::OwnerOnly();
  if (!ownerOnly) return Failed(error, ERROR_ACCESS_DENIED);
  if (CreateDirectoryW(win32::WidePath(path).c_str(), ownerOnly)) return true;
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS && IsFolder(path)) return true;
  return Failed(error, code == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : code);
}
