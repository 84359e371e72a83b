// The promise a run keeps whatever happens to it: every original dataset
// exists whole in the folder, as the original or as an anonymized copy; no
// ".ima" name holds a partial file; an original is gone only after its
// record line is on disk; and every file the record names as written exists
// or was taken up again by a later run.
#ifndef VEILMARK_TESTS_PROMISE_H_
#define VEILMARK_TESTS_PROMISE_H_

#include <map>
#include <string>
#include <vector>

class Promise {
 public:
  // Takes note of every "*.ima" entry of `folder` as it is now.
  explicit Promise(const std::string& folder);

  // Checks the folder as it is now; returns what is broken, one line each.
  std::vector<std::string> Broken() const;

  // The names of the originals still in place, untouched.
  std::vector<std::string> UntouchedOriginals() const;

 private:
  struct Original {
    std::string bytes;
    std::string uid;      // empty when the toolkit cannot read it
    std::string dataset;  // without the patient name
  };
  std::string folder_;
  std::map<std::string, Original> originals_;  // by file name
};

// SOP Instance UID of the file at `path`, or "".
std::string InstanceUid(const std::string& path);

// Names of the "*.ima" entries of `folder`, in any letter case.
std::vector<std::string> ImaNames(const std::string& folder);

#endif  // VEILMARK_TESTS_PROMISE_H_
