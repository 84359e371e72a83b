// The fault harness: the file system calls a run makes pass through here
// first, where a test can look at each, make it fail, run an action at it,
// and keep the order in which they came. Linked into a program (as an
// object, so that its definitions stand in front of the C library's), it
// covers every thread of the run.
//
// veilmark-cli-faults is veilmark-cli with the harness, steered by the
// environment: VEILMARK_FAULTS="kill:OP:N" kills the process with SIGKILL,
// and "signal:OP:N:SIG" sends it signal SIG, just before its N-th call of
// OP (counted from 1; OP as OpName gives it), or with "OP@PART" its N-th
// call of OP on a path (or to a new name) that contains PART.
#ifndef VEILMARK_TESTS_FAULTS_H_
#define VEILMARK_TESTS_FAULTS_H_

#include <functional>
#include <string>
#include <vector>

namespace faults {

enum class Op {
  kStat,         // stat() or lstat(): a run's first look at an original
  kOpen,         // open()
  kCreateTemp,   // mkostemps(): a temporary file about to be made
  kWrite,        // write() to a file
  kFlushFile,    // fsync() or fdatasync() of a file
  kFlushFolder,  // fsync() of a folder
  kFlushAll,     // syncfs(): every file of the folder's file system
  kRename,       // rename() or renameat2()
  kLink,         // link(), standing in for a rename that cannot refuse
  kUnlink,       // unlink()
  kAccess,       // fchown(), fchmod(), fsetxattr(), fremovexattr()
};
const char* OpName(Op op);  // "stat", "open", "temp", "write", ...

struct Call {
  Call(Op o, std::string p, std::string t = std::string(), bool n = false)
      : op(o), path(std::move(p)), target(std::move(t)), noReplace(n) {}

  Op op;
  std::string path;        // for a descriptor, what it is open on
  std::string target;      // kRename: the new name
  bool noReplace = false;  // kRename, kLink: never replaces a file
  size_t size = 0;         // kWrite: bytes to write
};

// Called just before each call reaches the C library, with the harness's
// lock held (calls of other threads wait); returns 0 to let the call go on,
// or an errno value that the call then fails with. Calls the hook itself
// makes pass straight through.
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
// some network file systems are.
Hook RenameCannotRefuse();

}  // namespace faults

#endif  // VEILMARK_TESTS_FAULTS_H_
