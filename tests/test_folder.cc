#include "tests/test_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/veilmark-XXXXXX";
  EXPECT_NE(mkdtemp(&pattern[0]), nullptr);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add,
                      error);
    }
  }
  fs::remove_all(path_, error);
}

void ScratchFolder::Write(const std::string& name,
                          const Fixture& fixture) const {
  std::string error;
  ASSERT_TRUE(WriteFixture(*this / name, fixture, &error)) << name << error;
}

void ScratchFolder::CopyFrom(const ScratchFolder& from) const {
  fs::copy(from.path(), path_, fs::copy_options::recursive);
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
  return RecordRows(ReadBytes(folder / "anonymous_record.csv"));
}

std::string Folded(std::string log, const ScratchFolder& folder) {
  for (size_t at; (at = log.find(folder.path())) != std::string::npos;) {
    log.replace(at, folder.path().size(), "FOLDER");
  }
  return log;
}
