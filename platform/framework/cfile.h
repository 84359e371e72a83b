// CFile: an unbuffered file handle. Open reports failure as FALSE; Write and
// Close raise CFileException when they fail, as their callers expect; the
// other calls return false with the reason in `error`, when one is given.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_CFILE_H_
#define VEILMARK_PLATFORM_FRAMEWORK_CFILE_H_

#include <cstdint>
#include <string>

#include "platform/framework/cstring.h"
#include "platform/system/file_access.h"
#include "platform/framework/win_types.h"

class CFileException {
 public:
  explicit CFileException(int os_error) : m_lOsError(os_error) {}
  // The reason, as the operating system words it.
  CString GetErrorMessage() const;

  int m_lOsError;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeReadWrite = 0x0002,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
  };

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  // Takes over `other`'s file, closing its own.
  CFile& operator=(CFile&& other);
  ~CFile();

  // Opens the regular file `file_name`, never through a symbolic link nor
  // blocking on anything else. modeCreate creates it, readable and writable
  // by its owner only, when it is missing and empties it unless
  // modeNoTruncate is given.
  BOOL Open(LPCTSTR file_name, UINT flags);
  bool IsOpen() const;
  void Write(const void* buffer, UINT count);
  void Close();

  // Forces written data to the disk.
  bool Flush(std::string* error);
  // Moves to the end: `length` gets the file's length.
  bool SeekToEnd(std::uint64_t* length, std::string* error);
  // Reads up to `count` bytes at `offset`; -1 on failure.
  long ReadAt(std::uint64_t offset, void* buffer, UINT count) const;
  // Cuts the file to `length` bytes and moves to its end.
  bool SetLength(std::uint64_t length, std::string* error = nullptr);

  // Takes an exclusive advisory lock on the file, held until it is closed
  // or the process ends, whichever comes first. kBusy: another open of the
  // file holds it; kUnsupported: the file system keeps no such locks.
  enum LockResult { kLocked, kBusy, kUnsupported };
  LockResult Lock();
  // True while `file_name` names this open file.
  bool NamedBy(LPCTSTR file_name) const;
  // Its owner, group, permissions and attributes.
  FileAccess Access() const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE
#else
  int fd_ = -1;
#endif
};

#endif  // VEILMARK_PLATFORM_FRAMEWORK_CFILE_H_
