#include "platform/durable_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SyncPath(const std::string& path, int flags, bool data_only,
              std::string* error) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    *error = strerror(errno);
    return false;
  }
  int rc = data_only ? ::fdatasync(fd) : ::fsync(fd);
  int saved = errno;
  ::close(fd);
  if (rc != 0) {
    *error = strerror(saved);
    return false;
  }
  return true;
}

}  // namespace

bool CreateTempFile(const std::string& folder, std::string* path,
                    std::string* error) {
  std::string name = folder + "/.veilmark-XXXXXX.tmp";
  int fd = ::mkostemps(&name[0], 4, O_CLOEXEC);
  if (fd < 0) {
    *error = strerror(errno);
    return false;
  }
  // The permissions any new file of this process would get.
  static const mode_t mask = [] {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  *path = name;
  return true;
}

bool SyncFile(const std::string& path, std::string* error) {
  return SyncPath(path, O_RDONLY | O_NOFOLLOW, true, error);
}

bool SyncFolder(const std::string& folder, std::string* error) {
  return SyncPath(folder, O_RDONLY | O_DIRECTORY, false, error);
}

PublishResult PublishNoReplace(const std::string& from, const std::string& to,
                               std::string* error) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                  RENAME_NOREPLACE) == 0) {
    return PublishResult::kDone;
  }
  if (errno == EEXIST) return PublishResult::kNameTaken;
  if (errno != EINVAL && errno != ENOSYS) {
    *error = strerror(errno);
    return PublishResult::kFailed;
  }
  // The file system cannot rename without replacing: a hard link claims
  // the name just as atomically.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return PublishResult::kNameTaken;
    *error = strerror(errno);
    return PublishResult::kFailed;
  }
  ::unlink(from.c_str());
  return PublishResult::kDone;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }
