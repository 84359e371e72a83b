// Helpers for tests that run on real folders: a scratch folder, reading
// files and the record back, and comparing datasets on disk.
#ifndef VEILMARK_TESTS_TEST_FOLDER_H_
#define VEILMARK_TESTS_TEST_FOLDER_H_

#include <string>
#include <vector>

#include "fixtures/fixture.h"

// A fresh folder under the system's temporary folder, removed (with
// whatever permissions the test left) when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }
  // Writes `fixture` as `name`; fails the test on error.
  void Write(const std::string& name, const Fixture& fixture) const;
  // Names in the folder, sorted; "." and ".." left out.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// The record file parsed as CSV (quoted fields allowed), one row per line.
// Unless `allowCutLine`, the file must end in CR LF.
std::vector<std::vector<std::string>> ReadRecord(const std::string& path,
                                                 bool allowCutLine = false);

// The dataset of the file at `path`, encoded without its patient name, in
// the file's own transfer syntax, with the syntax's name in front. Two files
// whose datasets differ only in the patient name give the same text.
std::string DatasetWithoutPatientName(const std::string& path);

// The patient name stored in the file at `path`, or "<unreadable>".
std::string StoredPatientName(const std::string& path);

#endif  // VEILMARK_TESTS_TEST_FOLDER_H_
