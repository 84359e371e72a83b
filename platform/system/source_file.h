// An original file opened for reading, pinned for as long as it is loaded.
//
// Only regular files are accepted (a symbolic link is not one, whatever it
// points to), and nothing ever blocks on a FIFO or device. While the object
// lives, ReadPath() names the opened file itself, so a loader that reopens the
// file later reads the same data even if its name was replaced meanwhile.
#ifndef VEILMARK_PLATFORM_SYSTEM_SOURCE_FILE_H_
#define VEILMARK_PLATFORM_SYSTEM_SOURCE_FILE_H_

#include <string>

#include "platform/system/file_access.h"

class SourceFile {
 public:
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile();

  enum Result { kOpened, kNotRegular, kFailed };
  // On kFailed, `error` holds the reason.
  // Without `withAccess`, Access() stays empty: for a file only read.
  Result Open(const std::string& path, std::string* error,
              bool withAccess = true);
  const std::string& ReadPath() const { return readPath_; }
  // Its size when it was opened.
  unsigned long long Size() const { return size_; }
  // Its owner, group, permissions and attributes, read through the opened
  // file.
  const FileAccess& Access() const { return access_; }
  // Reads the whole file into `buffer`, which the caller keeps (and may
  // reuse) but leaves alone until ForgetBytes; later reads are served from
  // there.
  bool ReadWhole(std::string* buffer, std::string* error);
  // What ReadWhole read.
  const std::string& Bytes() const { return *whole_; }
  void ForgetBytes() { whole_ = nullptr; }
  // Reads up to `count` bytes at `offset`; returns how many, or -1.
  long ReadAt(unsigned long long offset, void* buffer,
              unsigned long count) const;
  // True while the name `path` still refers to the opened file and the file
  // was not written to since it was opened.
  bool UnchangedAt(const std::string& path) const;
  void Close();

 private:
  // Reads from the file itself; -1 with the reason in `error`, when given.
  long ReadFromFile(unsigned long long offset, void* buffer,
                    unsigned long count, std::string* error) const;

#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE
#else
  int fd_ = -1;
#endif
  unsigned long long dev_ = 0;
  unsigned long long ino_ = 0;
  unsigned long long size_ = 0;
  long long mtimeNs_ = 0;
  FileAccess access_;
  std::string readPath_;
  const std::string* whole_ = nullptr;
};

#endif  // VEILMARK_PLATFORM_SYSTEM_SOURCE_FILE_H_
