// The fault harness on Linux: its definitions of the C library's file
// calls stand in front of the library's own, which they call once the
// harness lets the call go on.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/fault_calls.h"

namespace faults {

static_assert(kHangUp == SIGHUP && kInterrupt == SIGINT && kKill == SIGKILL &&
                  kTerminate == SIGTERM && kStop == SIGSTOP,
              "the signals by their numbers here");

void Deliver(int signal) { ::kill(::getpid(), signal); }

bool RenameCanBeUnableToRefuse() { return true; }

namespace {

std::string PathOf(int fd) {
  char path[4096];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = ::readlink(link.c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : "";
}

// 0 when the call goes on, or -1 with errno set when it fails.
int Pass(const Call& call) {
  const int error = Check(call);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

int PassFd(Op op, int fd) {
  return Watching() ? Pass(Call(op, PathOf(fd))) : 0;
}

template <typename Real>
Real Next(const char* name) {
  return reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
}

}  // namespace

}  // namespace faults

using faults::Call;
using faults::Next;
using faults::Op;
using faults::Pass;
using faults::PassFd;

extern "C" {

int stat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("stat");
  return Pass(Call(Op::kStat, path)) ? -1 : real(path, st);
}

int lstat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("lstat");
  return Pass(Call(Op::kStat, path)) ? -1 : real(path, st);
}

int open(const char* path, int flags, ...) {
  static auto real = Next<int (*)(const char*, int, ...)>("open");
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  return Pass(Call(Op::kOpen, path)) ? -1 : real(path, flags, mode);
}

int mkostemps(char* name, int suffixLength, int flags) {
  static auto real = Next<int (*)(char*, int, int)>("mkostemps");
  return Pass(Call(Op::kCreateTemp, name)) ? -1
                                           : real(name, suffixLength, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (faults::Watching() && fd > 2) {
    Call call(Op::kWrite, faults::PathOf(fd));
    call.size = size;
    if (Pass(call)) return -1;
  }
  return real(fd, data, size);
}

ssize_t pread(int fd, void* data, size_t size, off_t offset) {
  static auto real = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return PassFd(Op::kRead, fd) ? -1 : real(fd, data, size, offset);
}

int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  struct stat st;
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  return PassFd(folder ? Op::kFlushFolder : Op::kFlushFile, fd) ? -1 : real(fd);
}

int fdatasync(int fd) {
  static auto real = Next<int (*)(int)>("fdatasync");
  return PassFd(Op::kFlushFile, fd) ? -1 : real(fd);
}

int syncfs(int fd) {
  static auto real = Next<int (*)(int)>("syncfs");
  return PassFd(Op::kFlushAll, fd) ? -1 : real(fd);
}

int rename(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  return Pass(Call(Op::kRename, from, to)) ? -1 : real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to,
              unsigned int flags) {
  static auto real =
      Next<int (*)(int, const char*, int, const char*, unsigned int)>(
          "renameat2");
  Call call(Op::kRename, from, to, (flags & RENAME_NOREPLACE) != 0);
  return Pass(call) ? -1 : real(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("link");
  return Pass(Call(Op::kLink, from, to, true)) ? -1 : real(from, to);
}

int unlink(const char* path) {
  static auto real = Next<int (*)(const char*)>("unlink");
  return Pass(Call(Op::kUnlink, path)) ? -1 : real(path);
}

int fchown(int fd, uid_t owner, gid_t group) {
  static auto real = Next<int (*)(int, uid_t, gid_t)>("fchown");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, owner, group);
}

int fchmod(int fd, mode_t mode) {
  static auto real = Next<int (*)(int, mode_t)>("fchmod");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, mode);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size,
              int flags) {
  static auto real =
      Next<int (*)(int, const char*, const void*, size_t, int)>("fsetxattr");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, name, value, size, flags);
}

int fremovexattr(int fd, const char* name) {
  static auto real = Next<int (*)(int, const char*)>("fremovexattr");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, name);
}

}  // extern "C"
