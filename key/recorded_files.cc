#include "key/recorded_files.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <utility>

#include "dicom/file_head.h"
#include "dicom/same_dataset.h"
#include "dicom/verified_save.h"
#include "platform/system/large_stack.h"
#include "platform/system/path_separator.h"
#include "profile/deidentify.h"
#include "text/dataset_text.h"
#include "text/unicode_text.h"

bool IsOriginalOf(const CString& folder, const RecordEntry& entry,
                  SourceFile* original, const std::string& copyPath,
                  const FolderKey* key) {
  std::string originalBytes, copyBytes, reason;
  SourceFile copy;
  DcmFileFormat originalFile, copyFile;
  bool same =
      OpenAndLoad(folder.str() + kPathSeparator + entry.oldFile.str(), original,
                  &originalBytes, &originalFile, &reason) &&
      OpenAndLoad(copyPath.empty()
                      ? folder.str() + kPathSeparator + entry.newFile.str()
                      : copyPath,
                  &copy, &copyBytes, &copyFile, &reason) &&
      HoldsRecordedName(originalFile.getDataset(), entry.oldName.str()) &&
      HoldsRecordedName(copyFile.getDataset(), entry.newName.str());
  if (same) {
    same = key && IsProfileCopy(copyFile.getDataset())
               ? IsDeidentified(*key, &originalFile, &copyFile)
               : SameButPatientName(&originalFile, &copyFile);
  }
  original->ForgetBytes();
  return same;
}

bool IsCopyOf(const std::string& path, const RecordEntry& entry) {
  FileHead head;
  return ReadHead(path, &head) &&
         IsRecordedName(entry.newName.str(), head.nameBytes, head.name);
}

bool FindRecordedCopies(const CString& folder,
                        const std::vector<CString>& names,
                        const std::vector<RecordEntry>& entries, int workers,
                        std::vector<char>* copies) {
  copies->assign(names.size(), 0);
  // The last line of each copy's name.
  std::map<std::string, const RecordEntry*> recorded;
  for (const RecordEntry& entry : entries) {
    if (entry.Usable()) recorded[CanonicalText(entry.newFile.str())] = &entry;
  }
  std::vector<std::pair<size_t, const RecordEntry*>> candidates;
  for (size_t i = 0; i < names.size(); ++i) {
    const auto found = recorded.find(CanonicalText(names[i].str()));
    if (found != recorded.end()) candidates.emplace_back(i, found->second);
  }
  if (candidates.empty()) return true;
  // Loading runs DCMTK, which needs a deep stack for deep files.
  std::atomic<size_t> next{0};
  auto look = [&] {
    for (size_t k; (k = next++) < candidates.size();) {
      const size_t i = candidates[k].first;
      (*copies)[i] = IsCopyOf(folder.str() + kPathSeparator + names[i].str(),
                              *candidates[k].second);
    }
  };
  std::vector<std::unique_ptr<LargeStackThread>> threads;
  bool started = true;
  for (int t = 0; t < std::max(workers, 1) && started; ++t) {
    threads.push_back(std::make_unique<LargeStackThread>());
    std::string error;
    started = threads.back()->Start(look, &error);
  }
  for (const auto& thread : threads) thread->Join();
  return started || next >= candidates.size();
}
