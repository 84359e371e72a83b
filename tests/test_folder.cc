#include "tests/test_folder.h"

#include <dirent.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "dcmtk/dcmdata/dcdeftag.h"

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
  char* made = mkdtemp(&pattern[0]);
  EXPECT_NE(made, nullptr);
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

std::vector<std::string> ScratchFolder::Names() const {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path_.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::vector<std::string>> ReadRecord(const std::string& path,
                                                 bool allowCutLine) {
  std::string text = ReadBytes(path);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"' && field.empty() && !wasQuoted) {
      quoted = wasQuoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      wasQuoted = false;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      wasQuoted = false;
      ++i;
    } else {
      field += c;
    }
  }
  if (!field.empty() || !row.empty()) {
    EXPECT_TRUE(allowCutLine) << "record does not end in CR LF: " << path;
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

std::string DatasetWithoutPatientName(const std::string& path) {
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return "<unreadable>";
  DcmDataset* dataset = file.getDataset();
  E_TransferSyntax xfer = dataset->getOriginalXfer();
  delete dataset->remove(DCM_PatientName);
  ScratchFolder scratch;
  std::string out = scratch / "dataset";
  if (dataset->saveFile(out.c_str(), xfer, EET_ExplicitLength, EGL_withoutGL)
          .bad()) {
    return "<unwritable>";
  }
  return std::string(DcmXfer(xfer).getXferName()) + "\n" + ReadBytes(out);
}

std::string StoredPatientName(const std::string& path) {
  DcmFileFormat file;
  OFString name;
  if (file.loadFile(path.c_str()).bad() ||
      file.getDataset()->findAndGetOFStringArray(DCM_PatientName, name).bad()) {
    return "<unreadable>";
  }
  return name.c_str();
}
