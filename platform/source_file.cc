#include "platform/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

SourceFile::~SourceFile() { Close(); }

void SourceFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

SourceFile::Result SourceFile::Open(const std::string& path,
                                    std::string* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    *error = strerror(errno);
    return kFailed;
  }
  if (!S_ISREG(st.st_mode)) return kNotRegular;

  // The name may have changed kind since the look above: open without
  // blocking and look again at what was opened.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *error = strerror(errno);
    return kFailed;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kNotRegular;
  }
  fd_ = fd;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  size_ = static_cast<unsigned long long>(st.st_size);
  std::string pinned = "/proc/self/fd/" + std::to_string(fd);
  read_path_ = ::access(pinned.c_str(), R_OK) == 0 ? pinned : path;
  return kOpened;
}

long SourceFile::ReadAt(unsigned long long offset, void* buffer,
                        unsigned long count) const {
  ssize_t n;
  do {
    n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

bool SourceFile::StillAt(const std::string& path) const {
  struct stat st;
  return fd_ >= 0 && ::lstat(path.c_str(), &st) == 0 && st.st_dev == dev_ &&
         st.st_ino == ino_;
}
