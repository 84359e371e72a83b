// CFile: an unbuffered file handle. Open reports failure as a false result;
// Write, Flush and Close raise CFileException when they fail.
#ifndef VEILMARK_PLATFORM_CFILE_H_
#define VEILMARK_PLATFORM_CFILE_H_

#include <cstdint>

#include "platform/cstring.h"
#include "platform/win_types.h"

class CFileException {
 public:
  CFileException(int os_error, LPCTSTR file_name)
      : m_lOsError(os_error), m_strFileName(file_name) {}
  // The reason, as the operating system words it.
  CString GetErrorMessage() const;

  int m_lOsError;
  CString m_strFileName;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
  };

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();

  // Opens `file_name`. modeCreate creates the file when it is missing and
  // empties it unless modeNoTruncate is given. `error` is unused (failure
  // always comes back as FALSE, with the reason in GetLastError()).
  BOOL Open(LPCTSTR file_name, UINT flags, CFileException* error = nullptr);
  void Write(const void* buffer, UINT count);
  // Forces written data to the disk.
  void Flush();
  void Close();
  // Moves to the end; returns the new position.
  std::uint64_t SeekToEnd();
  // Reads up to `count` bytes at `offset`; returns how many were read.
  UINT ReadAt(std::uint64_t offset, void* buffer, UINT count) const;
  // Cuts the file to `length` bytes and moves to its end.
  void SetLength(std::uint64_t length);
  bool IsOpen() const { return fd_ >= 0; }

  // Takes an exclusive advisory lock on the file, held until it is closed
  // or the process ends, whichever comes first. kBusy: another open of the
  // file holds it; kUnsupported: the file system keeps no such locks.
  enum LockResult { kLocked, kBusy, kUnsupported };
  LockResult Lock();

 private:
  [[noreturn]] void Raise(int os_error) const;

  int fd_ = -1;
  CString name_;
};

#endif  // VEILMARK_PLATFORM_CFILE_H_
