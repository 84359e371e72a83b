// The promise a run keeps whatever happens to it: every original dataset
// exists whole in the folder, as the original or as an anonymized copy; no
// ".ima" name holds a partial file; an original is gone only after its
// record line is on disk; every file the record names as written exists or
// was taken up again by a later run (or, while a stopped run is not yet
// finished by the next, still has its original); and no temporary file
// outlives a run that ended.
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
  // `runEnded`: a run ended, so no temporary file may be left.
  std::vector<std::string> Broken(bool runEnded = true) const;

  // The names of the originals still in place, untouched.
  std::vector<std::string> UntouchedOriginals() const;

  // The originals whose dataset the folder's ".ima" files hold other than
  // exactly once, one line each.
  std::vector<std::string> NotExactlyOnce() const;

 private:
  struct Original {
    std::string bytes;
    std::string dataset;  // without the patient name; empty when unreadable
  };
  std::string folder_;
  std::map<std::string, Original> originals_;  // by file name
};

#endif  // VEILMARK_TESTS_PROMISE_H_
