#include "tests/promise.h"

#include <dirent.h>
#include <strings.h>

#include <set>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "tests/test_folder.h"

std::string InstanceUid(const std::string& path) {
  DcmFileFormat file;
  OFString uid;
  if (file.loadFile(path.c_str()).bad() ||
      file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid).bad()) {
    return "";
  }
  return uid.c_str();
}

std::vector<std::string> ImaNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() >= 4 &&
          strcasecmp(name.c_str() + name.size() - 4, ".ima") == 0) {
        names.push_back(name);
      }
    }
    closedir(dir);
  }
  return names;
}

Promise::Promise(const std::string& folder) : folder_(folder) {
  for (const std::string& name : ImaNames(folder)) {
    Original& original = originals_[name];
    std::string path = folder + "/" + name;
    original.bytes = ReadBytes(path);
    original.uid = InstanceUid(path);
    if (!original.uid.empty()) {
      original.dataset = DatasetWithoutPatientName(path);
    }
  }
}

std::vector<std::string> Promise::UntouchedOriginals() const {
  std::vector<std::string> names;
  for (const auto& [name, original] : originals_) {
    if (Exists(folder_ + "/" + name) &&
        ReadBytes(folder_ + "/" + name) == original.bytes) {
      names.push_back(name);
    }
  }
  return names;
}

std::vector<std::string> Promise::Broken() const {
  std::vector<std::string> broken;
  std::set<std::string> untouched;
  for (const std::string& name : UntouchedOriginals()) untouched.insert(name);

  // Every .ima now in the folder is an untouched original or a whole copy.
  std::multimap<std::string, std::string> copies;  // uid -> dataset
  for (const std::string& name : ImaNames(folder_)) {
    if (untouched.count(name)) continue;
    std::string path = folder_ + "/" + name;
    std::string uid = InstanceUid(path);
    if (uid.empty()) {
      broken.push_back("unreadable or partial file: " + name);
      continue;
    }
    copies.emplace(uid, DatasetWithoutPatientName(path));
  }

  std::vector<std::vector<std::string>> rows;
  if (Exists(folder_ + "/anonymous_record.csv")) {
    rows = ReadRecord(folder_ + "/anonymous_record.csv", true);
  }
  std::set<std::string> recordedOriginals;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].size() != 4) continue;  // a line cut short by a kill
    recordedOriginals.insert(rows[i][0]);
    // A file the record says was written exists, or a later line took it
    // up as an original.
    bool takenUp = false;
    for (size_t j = i + 1; j < rows.size() && !takenUp; ++j) {
      takenUp = !rows[j].empty() && rows[j][0] == rows[i][1];
    }
    if (i > 0 && !takenUp && !Exists(folder_ + "/" + rows[i][1])) {
      broken.push_back("recorded file missing: " + rows[i][1]);
    }
  }

  for (const auto& [name, original] : originals_) {
    if (untouched.count(name)) continue;
    if (original.uid.empty()) {
      broken.push_back("unreadable original changed or gone: " + name);
      continue;
    }
    bool whole = false;
    auto range = copies.equal_range(original.uid);
    for (auto it = range.first; it != range.second && !whole; ++it) {
      whole = it->second == original.dataset;
    }
    if (!whole) broken.push_back("original lost: " + name);
    if (!recordedOriginals.count(name)) {
      broken.push_back("original gone without a record line: " + name);
    }
  }
  return broken;
}
