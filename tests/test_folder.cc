#include "tests/test_folder.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace {

int MakeWritable(const char* path, const struct stat* st, int type,
                 struct FTW*) {
  if (type == FTW_D || type == FTW_DNR) ::chmod(path, st->st_mode | 0700);
  return 0;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

}  // namespace

ScratchFolder::ScratchFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/veilmark-XXXXXX";
  EXPECT_NE(mkdtemp(&pattern[0]), nullptr);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  nftw(path_.c_str(), MakeWritable, 16, FTW_PHYS);
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void ScratchFolder::Write(const std::string& name,
                          const Fixture& fixture) const {
  std::string error;
  ASSERT_TRUE(WriteFixture(*this / name, fixture, &error)) << name << error;
}

Fixture Patient(const std::string& name, const std::string& date,
                size_t pixelBytes) {
  Fixture fixture;
  fixture.patientName = name;
  fixture.studyDate = date;
  fixture.pixelBytes = pixelBytes;
  return fixture;
}

Rows ReadRecord(const ScratchFolder& folder) {
  Rows rows;
  EXPECT_TRUE(ParseRecord(ReadBytes(folder / "anonymous_record.csv"), &rows))
      << "record does not parse: " << folder.path();
  return rows;
}

std::string RunFolder(CVeilmarkDlg* dlg, const std::string& folder) {
  size_t before = dlg->m_log.str().size();
  dlg->m_folder = folder.c_str();
  dlg->OnAnonymize();
  return dlg->m_log.str().substr(before);
}

std::string RunFolder(const std::string& folder) {
  CVeilmarkDlg dlg;
  return RunFolder(&dlg, folder);
}
