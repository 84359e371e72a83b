#include "platform/system/durable_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kTempPrefix[] = ".veilmark-";
constexpr char kTempSuffix[] = ".tmp";
constexpr size_t kTempRandom = 6;  // the X's of mkostemps

bool Failed(std::string* error) {
  if (error) *error = strerror(errno);
  return false;
}

bool SyncPath(const std::string& path, int flags, bool data_only,
              std::string* error) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return Failed(error);
  int rc = data_only ? ::fdatasync(fd) : ::fsync(fd);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return rc == 0 || Failed(error);
}

// Creates the file and returns it open for writing.
int OpenTempFile(const std::string& folder, std::string* path,
                 std::string* error) {
  std::string name =
      folder + "/" + kTempPrefix + std::string(kTempRandom, 'X') + kTempSuffix;
  int fd = ::mkostemps(&name[0], sizeof kTempSuffix - 1, O_CLOEXEC);
  if (fd < 0) {
    Failed(error);
    return -1;
  }
  *path = name;
  return fd;
}

}  // namespace

bool CreateTempFile(const std::string& folder, std::string* path,
                    std::string* error) {
  int fd = OpenTempFile(folder, path, error);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool WriteTempFile(const std::string& folder, const char* data, size_t size,
                   const FileAccess& access, std::string* path,
                   std::string* error) {
  int fd = OpenTempFile(folder, path, error);
  if (fd < 0) return false;
  for (size_t done = 0; done < size;) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      Failed(error);
      ::close(fd);
      ::unlink(path->c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  GiveAccess(fd, access);
  if (::close(fd) != 0) {
    Failed(error);
    ::unlink(path->c_str());
    return false;
  }
  return true;
}

bool GiveAccessAt(const std::string& path, const FileAccess& access,
                  std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Failed(error);
  GiveAccess(fd, access);
  ::close(fd);
  return true;
}

namespace {

// Calls `found` with the name of each temporary file of `folder` until it
// returns false.
template <typename Found>
void ForEachTempFile(const std::string& folder, Found found) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const size_t prefix = sizeof kTempPrefix - 1, suffix = sizeof kTempSuffix - 1;
  while (struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    struct stat st;
    if (name.size() == prefix + kTempRandom + suffix &&
        name.compare(0, prefix, kTempPrefix) == 0 &&
        name.compare(prefix + kTempRandom, suffix, kTempSuffix) == 0 &&
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && !found(::dirfd(dir), entry->d_name)) {
      break;
    }
  }
  ::closedir(dir);
}

}  // namespace

void RemoveLeftoverTempFiles(const std::string& folder) {
  ForEachTempFile(folder, [](int dir, const char* name) {
    ::unlinkat(dir, name, 0);
    return true;
  });
}

std::vector<std::string> LeftoverTempFiles(const std::string& folder) {
  std::vector<std::string> names;
  ForEachTempFile(folder, [&](int, const char* name) {
    names.push_back(name);
    return true;
  });
  return names;
}

bool SyncFile(const std::string& path, std::string* error) {
  return SyncPath(path, O_RDONLY | O_NOFOLLOW, true, error);
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle::OpenResult FolderHandle::Open(const std::string& path,
                                            std::string* error) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ >= 0) return kOpened;
  if (errno == ENOENT || errno == ENOTDIR) return kMissing;
  Failed(error);
  return kFailed;
}

bool FolderHandle::SyncEntries(std::string* error) {
  return ::fsync(fd_) == 0 || Failed(error);
}

bool FolderHandle::SyncFileSystem(const std::vector<std::string>&,
                                  std::string* error) {
  return ::syncfs(fd_) == 0 || Failed(error);
}

PublishResult PublishNoReplace(const std::string& from, const std::string& to,
                               std::string* error) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                  RENAME_NOREPLACE) == 0) {
    return PublishResult::kDone;
  }
  if (errno == EEXIST) return PublishResult::kNameTaken;
  if (errno != EINVAL && errno != ENOSYS) {
    Failed(error);
    return PublishResult::kFailed;
  }
  // The file system cannot rename without replacing: a hard link claims
  // the name just as atomically.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return PublishResult::kNameTaken;
    Failed(error);
    return PublishResult::kFailed;
  }
  ::unlink(from.c_str());
  return PublishResult::kDone;
}

bool ReplaceFile(const std::string& from, const std::string& to,
                 const std::function<void()>& /*letGo*/, std::string* error) {
  return ::rename(from.c_str(), to.c_str()) == 0 || Failed(error);
}

PublishResult ProbeName(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return PublishResult::kNameTaken;
  return errno == ENOENT ? PublishResult::kDone : PublishResult::kFailed;
}

bool CanCreateFilesIn(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakePrivateFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && IsFolder(path))) {
    return true;
  }
  if (errno == EEXIST) errno = ENOTDIR;
  return Failed(error);
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}
