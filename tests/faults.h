// The fault harness: the file system calls a run makes pass through here
// first, where a test can look at each, make it fail, run an action at it,
// and keep the order in which they came. Linked into a program as an
// object, it covers every thread of the run: on Linux its definitions stand
// in front of the C library's; on Windows they replace the platform's own
// file calls (platform/win32/system_calls.h), which pass each to the
// system.
//
// veilmark-cli-faults is veilmark-cli with the harness, steered by the
// environment: VEILMARK_FAULTS="kill:OP:N" kills the process, and
// "signal:OP:N:SIG" sends it signal SIG, just before its N-th call of OP
// (counted from 1; OP as OpName gives it), or with "OP@PART" its N-th call
// of OP on a path (or to a new name) that contains PART. Signals go by
// their numbers on Linux (Signal below). On Windows a kill suspends the
// other threads and ends the process with TerminateProcess, exit code
// 128 + 9, as a shell reports SIGKILL (Finish() reports it as that
// signal); the signals that ask the program to stop come as console events
// do, through the system's own dispatcher of them (Ctrl-C for 2,
// Ctrl-Break for 3, the console closed for 1, shutdown for 15), and reach
// the program's StopSignals; and a stop (19) holds the calling thread, and
// with it every call of the harness, until the test lets it go on
// (WaitStopped() and GoOn() in tests/test_system.h).
#ifndef VEILMARK_TESTS_FAULTS_H_
#define VEILMARK_TESTS_FAULTS_H_

#include <functional>
#include <string>
#include <vector>

namespace faults {

// The calls each Op stands for, on Linux (the C library's) and on Windows
// (Win32's). A call's path is shown without the "\\?\" of the wide API's
// long form; an open file's, as the system names the file.
//
//   Op            Linux                      Windows
//   kStat         stat(), lstat()            GetFileAttributesW(),
//                                            GetFileAttributesExW(),
//                                            CreateFileW() for attributes
//                                            alone
//   kOpen         open()                     CreateFileW() of what exists
//   kCreateTemp   mkostemps()                CreateFileW(CREATE_NEW)
//   kWrite        write() to a file          WriteFile()
//   kFlushFile    fsync(), fdatasync()       FlushFileBuffers() of a file
//   kFlushFolder  fsync() of a folder        FlushFileBuffers() of a folder
//   kFlushAll     syncfs()                   FlushFiles(): a group's files
//                                            flushed one after the other,
//                                            its path their folder
//   kRename       rename(), renameat2()      MoveFileExW()
//   kLink         link()                     none: renames can refuse
//   kUnlink       unlink()                   DeleteFileW(),
//                                            SetFileInformationByHandle()
//                                            with FileDispositionInfo
//   kAccess       fchown(), fchmod(),        SetSecurityInfo(),
//                 fsetxattr(),               SetFileAttributesW(),
//                 fremovexattr()             SetFileInformationByHandle()
//                                            with FileBasicInfo
//   kRead         pread()                    ReadFile()
enum class Op {
  kStat,         // a run's first look at an original, and at a name
  kOpen,         // a file or folder opened
  kCreateTemp,   // a temporary file about to be made
  kWrite,        // bytes written to a file
  kFlushFile,    // a file's data forced to the disk
  kFlushFolder,  // a folder's entries forced to the disk
  kFlushAll,     // many files' data forced to the disk at once
  kRename,       // a file given another name
  kLink,         // a second name, standing in for a rename that cannot refuse
  kUnlink,       // a name removed
  kAccess,       // a file's owner, permissions or attributes set
  kRead,         // bytes read from a file at an offset
};
const char* OpName(Op op);  // "stat", "open", "temp", "write", ...

// The signals VEILMARK_FAULTS names, by their numbers on Linux, which the
// harness and the tests use on every system.
enum Signal {
  kHangUp = 1,
  kInterrupt = 2,
  kKill = 9,
  kTerminate = 15,
  kStop = 19,
};

struct Call {
  Call(Op o, std::string p, std::string t = std::string(), bool n = false)
      : op(o), path(std::move(p)), target(std::move(t)), noReplace(n) {}

  Op op;
  std::string path;        // for a descriptor, what it is open on
  std::string target;      // kRename: the new name
  bool noReplace = false;  // kRename, kLink: never replaces a file
  size_t size = 0;         // kWrite: bytes to write
};

// Called just before each call reaches the system, with the harness's lock
// held (calls of other threads wait); returns 0 to let the call go on, or an
// errno value that the call then fails with (on Windows, with the nearest
// Win32 error: EIO an I/O device error, ENOSPC a full disk, EFBIG a file
// too large, EACCES access denied, EEXIST a name taken, ENOENT no such
// file, EINVAL an invalid parameter). Calls the hook itself makes pass
// straight through.
using Hook = std::function<int(const Call&)>;

// Installs `hook` and keeps every call for the life of the object.
class Scope {
 public:
  explicit Scope(Hook hook = nullptr);
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  ~Scope();

  // The calls so far, in order.
  std::vector<Call> Calls() const;

  // Holds the calls of `op` from its `nth` on, each on its thread and
  // without the harness's lock, until Release() (or five seconds).
  void HoldFrom(Op op, int nth);
  void Release();
};

// A hook that fails the calls of `op` whose path (or new name) contains
// `part` with `error`: all of them, or only the first when `once`.
Hook Fail(Op op, const std::string& part, int error, bool once = false);
// A hook that runs `action` once, at the first such call.
Hook At(Op op, const std::string& part, std::function<void()> action);
// A hook that makes the file system unable to rename without replacing, as
// some network file systems are (on Windows, every rename then fails).
Hook RenameCannotRefuse();
// Whether a run has a way around such a file system: false on Windows,
// where no rename is unable to refuse.
bool RenameCanBeUnableToRefuse();

}  // namespace faults

#endif  // VEILMARK_TESTS_FAULTS_H_
