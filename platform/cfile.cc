#include "platform/cfile.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CString CFileException::GetErrorMessage() const {
  return CString(strerror(m_lOsError));
}

CFile::~CFile() {
  if (fd_ >= 0) ::close(fd_);
}

BOOL CFile::Open(LPCTSTR file_name, UINT flags, CFileException* /*error*/) {
  if (fd_ >= 0) {
    SetLastError(EBUSY);
    return FALSE;
  }
  int oflags = O_CLOEXEC | O_NOCTTY;
  if (flags & modeReadWrite) {
    oflags |= O_RDWR;
  } else if (flags & modeWrite) {
    oflags |= O_WRONLY;
  } else {
    oflags |= O_RDONLY;
  }
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
  }
  // Never block on a FIFO or device someone put under this name.
  // Nor follow a symbolic link out of the folder.
  int fd = ::open(file_name, oflags | O_NONBLOCK | O_NOFOLLOW, 0666);
  if (fd < 0) {
    SetLastError(errno);
    return FALSE;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetLastError(EINVAL);
    return FALSE;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  name_ = file_name;
  return TRUE;
}

void CFile::Write(const void* buffer, UINT count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(fd_, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      Raise(errno);
    }
    if (n == 0) Raise(EIO);
    p += n;
    count -= static_cast<UINT>(n);
  }
}

void CFile::Flush() {
  if (::fdatasync(fd_) != 0) Raise(errno);
}

void CFile::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Raise(errno);
}

std::uint64_t CFile::SeekToEnd() {
  off_t at = ::lseek(fd_, 0, SEEK_END);
  if (at < 0) Raise(errno);
  return static_cast<std::uint64_t>(at);
}

UINT CFile::ReadAt(std::uint64_t offset, void* buffer, UINT count) const {
  ssize_t n;
  do {
    n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) Raise(errno);
  return static_cast<UINT>(n);
}

void CFile::SetLength(std::uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) Raise(errno);
  if (::lseek(fd_, 0, SEEK_END) < 0) Raise(errno);
}

CFile::LockResult CFile::Lock() {
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return kLocked;
  return errno == EWOULDBLOCK ? kBusy : kUnsupported;
}

void CFile::Raise(int os_error) const { throw CFileException(os_error, name_); }
