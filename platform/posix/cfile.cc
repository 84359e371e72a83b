#include "platform/framework/cfile.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Failed(std::string* error) {
  if (error) *error = strerror(errno);
  return false;
}

}  // namespace

CString CFileException::GetErrorMessage() const {
  return CString(strerror(m_lOsError));
}

bool CFile::IsOpen() const { return fd_ >= 0; }

CFile::~CFile() {
  if (fd_ >= 0) ::close(fd_);
}

CFile& CFile::operator=(CFile&& other) {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

BOOL CFile::Open(LPCTSTR file_name, UINT flags) {
  if (fd_ >= 0) return FALSE;
  int oflags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW |
               (flags & modeReadWrite ? O_RDWR : O_RDONLY);
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
  }
  int fd = ::open(file_name, oflags, 0600);
  if (fd < 0) return FALSE;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return FALSE;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  return TRUE;
}

void CFile::Write(const void* buffer, UINT count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw CFileException(n < 0 ? errno : EIO);
    p += n;
    count -= static_cast<UINT>(n);
  }
}

void CFile::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw CFileException(errno);
}

bool CFile::Flush(std::string* error) {
  return ::fdatasync(fd_) == 0 || Failed(error);
}

bool CFile::SeekToEnd(std::uint64_t* length, std::string* error) {
  off_t at = ::lseek(fd_, 0, SEEK_END);
  if (at < 0) return Failed(error);
  *length = static_cast<std::uint64_t>(at);
  return true;
}

long CFile::ReadAt(std::uint64_t offset, void* buffer, UINT count) const {
  ssize_t n;
  do {
    n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

bool CFile::SetLength(std::uint64_t length, std::string* error) {
  return (::ftruncate(fd_, static_cast<off_t>(length)) == 0 &&
          ::lseek(fd_, 0, SEEK_END) >= 0) ||
         Failed(error);
}

CFile::LockResult CFile::Lock() {
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return kLocked;
  return errno == EWOULDBLOCK ? kBusy : kUnsupported;
}

bool CFile::NamedBy(LPCTSTR file_name) const {
  struct stat named, opened;
  return ::lstat(file_name, &named) == 0 && ::fstat(fd_, &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

FileAccess CFile::Access() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return FileAccess();
  return ReadAccess(fd_, st);
}
