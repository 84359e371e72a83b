// What the tests over real folders share: a scratch folder, fixtures of
// made-up patients, and the record read back.
#ifndef VEILMARK_TESTS_TEST_FOLDER_H_
#define VEILMARK_TESTS_TEST_FOLDER_H_

#include <string>
#include <vector>

#include "fixtures/fixture.h"
#include "tests/files.h"
#include "tests/test_system.h"

// A fresh folder under the system's temporary folder, removed (with
// whatever permissions the test left) when the object goes. Its paths join
// folder and name with the platform's separator, as the program does.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return Join(path_, name);
  }
  // Writes `fixture` as `name`; fails the test on error.
  void Write(const std::string& name, const Fixture& fixture) const;
  std::vector<std::string> Names() const { return ::Names(path_); }
  // Copies the files of `from` here.
  void CopyFrom(const ScratchFolder& from) const;

 private:
  std::string path_;
};

Fixture Patient(const std::string& name, const std::string& date,
                size_t pixelBytes = 0);

// The lines of the record of `folder` after its header.
Rows ReadRecord(const ScratchFolder& folder);

// Whether the system has a table for GB 18030 (wine has none).
bool SystemHasGb18030();

// `log` with `folder` written FOLDER, and the separator after it "/".
std::string Folded(std::string log, const ScratchFolder& folder);

// veilmark-cli with the fault harness (tests/faults.h), steered by
// `faults`, its standard output into `out`; Finish() waits for it.
Process StartCli(const std::vector<std::string>& arguments,
                 const std::string& faults, const std::string& out);

#endif  // VEILMARK_TESTS_TEST_FOLDER_H_
