// What the tests over real folders share: a scratch folder, fixtures of
// made-up patients, and a press of "Anonymize" without a window.
#ifndef VEILMARK_TESTS_TEST_FOLDER_H_
#define VEILMARK_TESTS_TEST_FOLDER_H_

#include <string>
#include <vector>

#include "fixtures/fixture.h"
#include "tests/files.h"
#include "ui/veilmark_dlg.h"

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
  std::vector<std::string> Names() const { return ::Names(path_); }

 private:
  std::string path_;
};

Fixture Patient(const std::string& name, const std::string& date,
                size_t pixelBytes = 0);

// The record of `folder`, which must parse and end in CR LF.
Rows ReadRecord(const ScratchFolder& folder);

// Presses "Anonymize" with `folder` in the folder box; returns the lines
// the log gained.
std::string RunFolder(CVeilmarkDlg* dlg, const std::string& folder);
std::string RunFolder(const std::string& folder);

#endif  // VEILMARK_TESTS_TEST_FOLDER_H_
