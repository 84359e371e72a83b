// What the tests do to the system besides running a folder: scratch
// folders, files that are read-only or not files at all, the files a
// process holds open, limits, and programs started and waited for. One
// header for every system; tests/posix/ and tests/win32/ do it each its
// own way. Where a system has no such thing, a query says so, and a test
// that needs it says why it is skipped.
#ifndef VEILMARK_TESTS_TEST_SYSTEM_H_
#define VEILMARK_TESTS_TEST_SYSTEM_H_

#include <memory>
#include <string>
#include <vector>

// Scratch folders -----------------------------------------------------------

// Creates a fresh folder under the system's folder for temporary files (on
// a memory file system after PreferMemoryFolders(), where there is one),
// and returns its path as the system names it. Empty on failure.
std::string MakeScratchFolder();
void PreferMemoryFolders();
// Removes `path` and all in it, whatever access or attributes the test
// left on it.
void RemoveTree(const std::string& path);

// Files ---------------------------------------------------------------------

// Makes the file at `path` read-only (no write permission bits here, the
// read-only attribute on Windows), or writable again.
void SetReadOnly(const std::string& path, bool readOnly = true);
// The kind, permissions or attributes and modification time of the entry
// at `path`, as text: equal as long as none of them changes.
std::string Stamp(const std::string& path);
// The access the file at `path` gives: its permission bits, owner and
// group here, its security descriptor and read-only attribute on Windows.
std::string AccessOf(const std::string& path);
// Lets the file's group read it besides its owner: 0640 here, an entry for
// the local users in its DACL on Windows. False where the system does not
// keep such a grant: wine keeps Unix permission bits for a DACL, and makes
// one up from them.
bool ShareWithGroup(const std::string& path);

// Whether a name of a folder's entry can be `name` on this system: here
// any bytes but "/" and NUL, on Windows only UTF-8 without control
// characters or any of <>:"/\|?*.
bool IsPossibleName(const std::string& name);

// Whether this system's file systems have symbolic links (wine's do not)
// and FIFOs (Windows' do not); and making one, false on failure.
bool HasSymbolicLinks();
bool MakeSymbolicLink(const std::string& target, const std::string& link);
bool HasFifos();
bool MakeFifo(const std::string& path);

// Whether a file that a process holds open can be removed, cut short or
// replaced by another process: not on Windows, where the program shares an
// original it holds for reading alone.
bool OpenFilesCanBeChanged();

// The entries of `folder` (and the folder itself) that this process holds
// open.
std::vector<std::string> FilesHeldOpen(const std::string& folder);

// Limits --------------------------------------------------------------------

// For its life, writes that would make a file of this process larger than
// `bytes` fail: here by the system's file size limit, "File too large"; on
// Windows, which has none, by the fault harness as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long long bytes);
  ~FileSizeLimit();
  // The reason a log line gives for such a failed write.
  static std::string Reason();

 private:
  std::shared_ptr<void> state_;
};

// For its life, programs started from here may open at most `files` files
// at once. Windows has no such limit: there it does nothing.
class OpenFilesLimit {
 public:
  explicit OpenFilesLimit(unsigned long long files);
  ~OpenFilesLimit();

 private:
  unsigned long long saved_ = 0;
};

// Programs ------------------------------------------------------------------

// The program the build put at `built`, as this system starts it.
std::string Program(const std::string& built);

// A program started from a test.
struct Process {
  long long id = -1;
  void* handle = nullptr;  // Windows: the process's handle
};

// Starts `program` with `arguments`, its environment this process's with
// `environment` ("NAME=VALUE" each) added, standard output into the file
// `out` and standard error into `err` (empty: discarded), in the folder
// `where` (empty: this process's). Its id is -1 when it cannot be started.
Process StartProgram(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment,
                     const std::string& out, const std::string& err = "",
                     const std::string& where = "");
// Its exit status, or minus the number of the signal that ended it (on
// Windows, -9 for the exit code 128 + 9 of a process the fault harness
// killed). A program that still runs after a minute fails the test and is
// killed.
int Finish(const Process& process);
void Kill(const Process& process);
// Waits until `process` stops at a "signal:OP:N:19" of the fault harness
// (a minute at most), and lets it go on.
bool WaitStopped(const Process& process);
void GoOn(const Process& process);

#endif  // VEILMARK_TESTS_TEST_SYSTEM_H_
