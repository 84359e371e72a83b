#include "platform/win32/system.h"

#include <errno.h>
#include <string.h>

#include "platform/win32/files.h"
#include "platform/win32/system_calls.h"

namespace win32 {

bool Utf8ToWide(const std::string& utf8, std::wstring* wide) {
  wide->clear();
  wide->reserve(utf8.size());
  const size_t size = utf8.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    unsigned long code;
    size_t more;
    if (lead < 0x80) {
      code = lead;
      more = 0;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      code = lead & 0x1F;
      more = 1;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      code = lead & 0x0F;
      more = 2;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      code = lead & 0x07;
      more = 3;
    } else {
      return false;
    }
    if (size - i <= more) return false;
    for (size_t k = 1; k <= more; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    // The shortest form only, and nothing above U+10FFFF.
    if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000) ||
        code > 0x10FFFF) {
      return false;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      wide->push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      wide->push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      wide->push_back(static_cast<wchar_t>(code));
    }
    i += more + 1;
  }
  return true;
}

std::string WideToUtf8(const std::wstring& wide) {
  std::string utf8;
  utf8.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    unsigned long code = static_cast<unsigned short>(wide[i]);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < wide.size()) {
      const unsigned long low = static_cast<unsigned short>(wide[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | code >> 18);
      utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

namespace {

bool IsLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring CurrentFolder() {
  std::wstring folder(1024, L'\0');
  for (;;) {
    const DWORD got =
        GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]);
    if (got == 0) return std::wstring();
    if (got < folder.size()) {
      folder.resize(got);
      return folder;
    }
    folder.resize(got);
  }
}

// `path` made absolute by the system: for the forms that depend on the
// current drive ("\x", "C:x").
std::wstring FullPath(const std::wstring& path) {
  std::wstring full(1024, L'\0');
  for (;;) {
    const DWORD got = GetFullPathNameW(
        path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (got == 0) return path;
    if (got < full.size()) {
      full.resize(got);
      return full;
    }
    full.resize(got);
  }
}

}  // namespace

std::wstring WidePath(const std::string& path) {
  std::wstring wide;
  if (!Utf8ToWide(path, &wide) || wide.empty()) return std::wstring();
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.compare(0, 4, L"\\\\?\\") == 0 ||
      wide.compare(0, 4, L"\\\\.\\") == 0) {
    return wide;
  }
  const bool unc = wide.compare(0, 2, L"\\\\") == 0;
  const bool drive = wide.size() >= 3 && IsLetter(wide[0]) && wide[1] == L':' &&
                     wide[2] == L'\\';
  if (!unc && !drive) {
    if (wide[0] != L'\\' && !(wide.size() >= 2 && wide[1] == L':')) {
      const std::wstring here = CurrentFolder();
      if (!here.empty()) return WidePath(WideToUtf8(here + L"\\" + wide));
    }
    const std::wstring full = FullPath(wide);
    if (full == wide) return std::wstring();
    return WidePath(WideToUtf8(full));
  }
  // The root ("C:" or "\\server\share") stays as it is; below it, the
  // names, with "." and ".." resolved as the system would.
  std::wstring root;
  size_t at;
  if (drive) {
    root = L"\\\\?\\" + wide.substr(0, 2);
    at = 3;
  } else {
    const size_t server = wide.find(L'\\', 2);
    const size_t share =
        server == std::wstring::npos ? server : wide.find(L'\\', server + 1);
    root = L"\\\\?\\UNC\\" + wide.substr(2, share - 2);
    at = share == std::wstring::npos ? wide.size() : share + 1;
  }
  std::vector<std::wstring> names;
  while (at <= wide.size()) {
    size_t end = wide.find(L'\\', at);
    if (end == std::wstring::npos) end = wide.size();
    const std::wstring name = wide.substr(at, end - at);
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != L".") {
      names.push_back(name);
    }
    at = end + 1;
  }
  std::wstring result = root;
  for (const std::wstring& name : names) result += L"\\" + name;
  if (names.empty()) result += L"\\";
  return result;
}

namespace {

int ErrnoOf(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return ENOSYS;
    default:
      return EIO;
  }
}

}  // namespace

std::string ErrorText(unsigned long code) {
  const int number = ErrnoOf(code);
  std::string text;
  switch (code) {
    // Worded as the C library words them, as on other systems.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      text = strerror(number);
      break;
    default: {
      wchar_t* message = nullptr;
      const DWORD length = FormatMessageW(
          FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
              FORMAT_MESSAGE_IGNORE_INSERTS,
          nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
      if (length > 0 && message) {
        text = WideToUtf8(std::wstring(message, length));
      }
      if (message) LocalFree(message);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                               text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
      }
      if (text.empty()) text = "Windows error " + std::to_string(code);
    }
  }
  errno = number;
  return text;
}

std::string LastErrorText() { return ErrorText(GetLastError()); }

namespace {

FolderRead ListFailed(DWORD code) {
  ErrorText(code);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
                 code == ERROR_DIRECTORY || code == ERROR_INVALID_NAME
             ? FolderRead::kMissing
         : code == ERROR_ACCESS_DENIED ? FolderRead::kDenied
                                       : FolderRead::kFailed;
}

}  // namespace

FolderRead ListFolder(const std::string& folder,
                      std::vector<std::string>* names) {
  std::wstring pattern = WidePath(folder);
  if (pattern.empty()) return ListFailed(ERROR_PATH_NOT_FOUND);
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (search == kInvalidHandle) {
    // A folder without even "." and "..": a drive's empty root.
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? FolderRead::kRead : ListFailed(code);
  }
  do {
    names->push_back(WideToUtf8(found.cFileName));
  } while (FindNextFileW(search, &found));
  const DWORD code = GetLastError();
  FindClose(search);
  return code == ERROR_NO_MORE_FILES ? FolderRead::kRead : ListFailed(code);
}

bool DeletableEntry(const std::string& path) {
  const DWORD attributes = sys::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

namespace {

HANDLE OpenForDeletion(const std::wstring& path) {
  return sys::CreateFileW(
      path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The identity of the entry at `path` (in the wide form).
bool IdAt(const std::wstring& path, FileId* id) {
  BY_HANDLE_FILE_INFORMATION info;
  HANDLE look = OpenAttributes(path);
  const bool known =
      look != kInvalidHandle && GetFileInformationByHandle(look, &info);
  if (look != kInvalidHandle) CloseHandle(look);
  if (known) *id = IdOf(info);
  return known;
}

}  // namespace

bool DeleteEntry(const std::string& path) {
  if (!DeletableEntry(path)) return false;
  const std::wstring wide = WidePath(path);
  HANDLE file = OpenForDeletion(wide);
  if (file == kInvalidHandle && GetLastError() == ERROR_SHARING_VIOLATION) {
    // Held as an original by this process, which shares no deletion: let go
    // of it, then delete that very file, whatever took its name meanwhile.
    BY_HANDLE_FILE_INFORMATION opened;
    FileId held;
    if (!IdAt(wide, &held) || !LetGoOfOriginal(held)) return false;
    file = OpenForDeletion(wide);
    if (file != kInvalidHandle && (!GetFileInformationByHandle(file, &opened) ||
                                   !(IdOf(opened) == held))) {
      CloseHandle(file);
      return false;
    }
  }
  if (file == kInvalidHandle) return false;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  const bool deleted =
      sys::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
  CloseHandle(file);
  return deleted;
}

PublishResult MoveEntry(const std::string& path, const std::string& to) {
  if (!DeletableEntry(path)) return PublishResult::kFailed;
  const std::wstring from = WidePath(path), target = WidePath(to);
  auto move = [&] {
    if (sys::MoveFileExW(from.c_str(), target.c_str(),
                         MOVEFILE_WRITE_THROUGH)) {
      return PublishResult::kDone;
    }
    const DWORD code = GetLastError();
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS
               ? PublishResult::kNameTaken
               : PublishResult::kFailed;
  };
  const PublishResult moved = move();
  const DWORD code = GetLastError();
  if (moved != PublishResult::kFailed ||
      (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED)) {
    return moved;
  }
  // Held as an original by this process, which shares no deletion: let go
  // of it, then move it, and make sure it was that very file.
  FileId held, now;
  if (!IdAt(from, &held) || !LetGoOfOriginal(held)) return moved;
  if (move() != PublishResult::kDone) return PublishResult::kFailed;
  if (IdAt(target, &now) && now == held) return PublishResult::kDone;
  sys::MoveFileExW(target.c_str(), from.c_str(), MOVEFILE_WRITE_THROUGH);
  return PublishResult::kFailed;
}

}  // namespace win32

namespace win32 {

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileId id;
  id.volume = info.dwVolumeSerialNumber;
  id.index =
      static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return id;
}

HANDLE OpenAttributes(const std::wstring& path) {
  return sys::CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
      nullptr);
}

bool IsPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
  return !(info.dwFileAttributes &
           (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
            FILE_ATTRIBUTE_DEVICE));
}

}  // namespace win32
