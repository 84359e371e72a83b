#include "tests/promise.h"

#include <set>

#include "tests/files.h"

Promise::Promise(const std::string& folder) : folder_(folder) {
  for (const std::string& name : Names(folder, true)) {
    Original& original = originals_[name];
    const std::string path = Join(folder, name);
    original.bytes = ReadBytes(path);
    original.dataset = DatasetWithoutPatientName(path);
  }
}

std::vector<std::string> Promise::UntouchedOriginals() const {
  std::vector<std::string> names;
  for (const auto& [name, original] : originals_) {
    const std::string path = Join(folder_, name);
    if (Exists(path) && ReadBytes(path) == original.bytes) {
      names.push_back(name);
    }
  }
  return names;
}

std::vector<std::string> Promise::Broken(bool runEnded) const {
  std::vector<std::string> broken;
  std::set<std::string> untouched;
  for (const std::string& name : UntouchedOriginals()) untouched.insert(name);

  // Every .ima now in the folder is an untouched original or a whole copy
  // of one.
  std::set<std::string> originalDatasets, copies;
  for (const auto& entry : originals_) {
    originalDatasets.insert(entry.second.dataset);
  }
  for (const std::string& name : Names(folder_)) {
    if (runEnded && name.compare(0, 10, ".veilmark-") == 0) {
      broken.push_back("temporary file left: " + name);
    }
  }
  for (const std::string& name : Names(folder_, true)) {
    if (untouched.count(name)) continue;
    const std::string dataset = DatasetWithoutPatientName(Join(folder_, name));
    if (dataset.empty() || !originalDatasets.count(dataset)) {
      broken.push_back("unreadable or partial file: " + name);
    } else {
      copies.insert(dataset);
    }
  }

  const Rows rows =
      RecordRows(ReadBytes(Join(folder_, "anonymous_record.csv")));
  std::set<std::string> recordedOriginals;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].empty()) continue;  // a line cut short by a kill
    recordedOriginals.insert(rows[i][0]);
    // A file the record says was written exists, or a later line took it
    // up as an original.
    bool takenUp = false;
    for (size_t j = i + 1; j < rows.size() && !takenUp; ++j) {
      takenUp = !rows[j].empty() && rows[j][0] == rows[i][1];
    }
    // A run stopped between writing a group's lines and naming its copies
    // leaves lines whose originals are all still there.
    const bool unnamed = !runEnded && untouched.count(rows[i][0]);
    if (!takenUp && !unnamed && !Exists(Join(folder_, rows[i][1]))) {
      broken.push_back("recorded file missing: " + rows[i][1]);
    }
  }

  for (const auto& [name, original] : originals_) {
    if (untouched.count(name)) continue;
    if (original.dataset.empty()) {
      broken.push_back("unreadable original changed or gone: " + name);
      continue;
    }
    if (!copies.count(original.dataset)) {
      broken.push_back("original lost: " + name);
    }
    if (!recordedOriginals.count(name)) {
      broken.push_back("original gone without a record line: " + name);
    }
  }
  return broken;
}

std::vector<std::string> Promise::NotExactlyOnce() const {
  std::map<std::string, int> held;  // by dataset
  for (const std::string& name : Names(folder_, true)) {
    ++held[DatasetWithoutPatientName(Join(folder_, name))];
  }
  std::vector<std::string> wrong;
  for (const auto& [name, original] : originals_) {
    const int times = held[original.dataset];
    if (times != 1) {
      wrong.push_back(name + " held " + std::to_string(times) + " times");
    }
  }
  return wrong;
}
