#include "tests/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/code_page.h"
#include "platform/system/path_separator.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() : path_(MakeScratchFolder()) {
  EXPECT_FALSE(path_.empty());
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void ScratchFolder::Write(const std::string& name,
                          const Fixture& fixture) const {
  std::string error;
  ASSERT_TRUE(WriteFixture(*this / name, fixture, &error)) << name << error;
}

namespace {

// Copies the files and folders in `from` into `to`, each as it is.
void CopyInto(const fs::path& from, const fs::path& to) {
  for (const auto& entry : fs::directory_iterator(from)) {
    const fs::path target = to / entry.path().filename();
    if (entry.is_directory()) {
      fs::create_directory(target);
      CopyInto(entry.path(), target);
    } else {
      fs::copy_file(entry.path(), target);
    }
  }
}

}  // namespace

void ScratchFolder::CopyFrom(const ScratchFolder& from) const {
  CopyInto(FsPath(from.path()), FsPath(path_));
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

bool SystemHasGb18030() {
  std::string text;
  return CodePageToUtf8(CodePage::kGb18030, "A", &text);
}

std::string Folded(std::string log, const ScratchFolder& folder) {
  const std::string within = folder.path() + kPathSeparator;
  for (size_t at; (at = log.find(within)) != std::string::npos;) {
    log.replace(at, within.size(), "FOLDER/");
  }
  for (size_t at; (at = log.find(folder.path())) != std::string::npos;) {
    log.replace(at, folder.path().size(), "FOLDER");
  }
  return log;
}

Process StartCli(const std::vector<std::string>& arguments,
                 const std::string& faults, const std::string& out) {
  return StartProgram(Program(VEILMARK_CLI_FAULTS), arguments,
                      {"VEILMARK_FAULTS=" + faults}, out);
}
