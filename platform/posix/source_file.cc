#include "platform/system/source_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

long long ModifiedNs(const struct stat& st) {
  return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL +
         st.st_mtim.tv_nsec;
}

// Whether the pinned path of an open file can be read, asked once: it
// depends on /proc being there, not on the file.
bool PinnedPathsWork(int fd) {
  static const bool work = [fd] {
    std::string pinned = "/proc/self/fd/" + std::to_string(fd);
    return ::access(pinned.c_str(), R_OK) == 0;
  }();
  return work;
}

}  // namespace

SourceFile::~SourceFile() { Close(); }

void SourceFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

SourceFile::Result SourceFile::Open(const std::string& path, std::string* error,
                                    bool withAccess) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    *error = strerror(errno);
    return kFailed;
  }
  if (!S_ISREG(st.st_mode)) return kNotRegular;

  // The name may have changed kind since the look above: open without
  // blocking and look again at what was opened.
  int fd = ::open(path.c_str(),
                  O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0 && errno == ELOOP) return kNotRegular;
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
  mtimeNs_ = ModifiedNs(st);
  if (withAccess) access_ = ReadAccess(fd, st);
  readPath_ =
      PinnedPathsWork(fd) ? "/proc/self/fd/" + std::to_string(fd) : path;
  return kOpened;
}

long SourceFile::ReadFromFile(unsigned long long offset, void* buffer,
                              unsigned long count, std::string* error) const {
  ssize_t n;
  do {
    n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0 && error) *error = strerror(errno);
  return static_cast<long>(n);
}

bool SourceFile::UnchangedAt(const std::string& path) const {
  struct stat named, opened;
  return fd_ >= 0 && ::lstat(path.c_str(), &named) == 0 &&
         named.st_dev == dev_ && named.st_ino == ino_ &&
         ::fstat(fd_, &opened) == 0 &&
         static_cast<unsigned long long>(opened.st_size) == size_ &&
         ModifiedNs(opened) == mtimeNs_;
}
