#include "pipeline/copy_flush.h"

#include <string>
#include <vector>

void SyncCopies(const CString& folder, FileJob* const* jobs, size_t count,
                FolderHandle* folderHandle) {
  std::vector<std::string> unsynced;
  for (size_t i = 0; i < count; ++i) {
    if (jobs[i]->ready && !jobs[i]->synced && !jobs[i]->inPlace) {
      unsynced.push_back(jobs[i]->tempPath);
      if (!jobs[i]->keyPath.empty()) unsynced.push_back(jobs[i]->keyPath);
    }
  }
  if (unsynced.empty()) return;
  // Flushing the whole file system costs about as much as one file.
  bool synced = unsynced.size() == 1 ? SyncFile(unsynced[0])
                                     : folderHandle->SyncFileSystem(unsynced);
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready || job->synced || job->inPlace) continue;
    if (synced) {
      job->synced = true;
    } else {
      job->SaveFailed(folder);
      RemoveFile(job->tempPath);
      if (!job->keyPath.empty()) RemoveFile(job->keyPath);
      job->ready = false;
    }
  }
}
