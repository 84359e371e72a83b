#include "undo/restore_commit.h"

#include <string>
#include <vector>

#include "pipeline/copy_flush.h"
#include "platform/framework/delete_file.h"
#include "platform/system/path_separator.h"

size_t RestoreCommit::Commit(FileJob* const* jobs, size_t count,
                             int* restored) {
  if (!dryState_) {
    SyncCopies(folder_, jobs, count, folderHandle_);
    Publish(jobs, count);
    SyncNames(jobs, count);
    Witness(jobs, count);
  }
  TakeCopies(jobs, count, restored);
  return count;
}

void RestoreCommit::Publish(FileJob* const* jobs, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready || job->inPlace) continue;
    switch (PublishNoReplace(
        job->tempPath, folder_.str() + kPathSeparator + job->newName.str())) {
      case PublishResult::kDone:
        job->named = true;
        continue;
      case PublishResult::kNameTaken:
        Taken(folder_, job);
        break;
      case PublishResult::kFailed:
        job->SaveFailed(folder_);
        break;
    }
    RemoveFile(job->tempPath);
    job->ready = false;
  }
}

void RestoreCommit::SyncNames(FileJob* const* jobs, size_t count) {
  bool any = false;
  for (size_t i = 0; i < count; ++i) any = any || jobs[i]->named;
  if (!any || folderHandle_->SyncEntries()) return;
  // Put back but not known to be on disk: taken out again.
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->named) continue;
    RemoveFile(folder_.str() + kPathSeparator + job->newName.str());
    job->SaveFailed(folder_);
    job->named = job->ready = false;
  }
}

void RestoreCommit::Witness(FileJob* const* jobs, size_t count) {
  aside_.assign(count, std::string());
  std::vector<SetAside> lines;
  for (size_t i = 0; i < count; ++i) {
    const FileJob* job = jobs[i];
    if (!job->ready) continue;
    SetAside line;
    line.name = aside_[i] = evidence_->NextName();
    line.entry.parsed = true;
    line.entry.oldFile = job->newName;
    line.entry.newFile = job->fileName;
    line.entry.oldName = job->patientName;
    line.entry.newName = job->anonymousName;
    lines.push_back(line);
  }
  std::string error;
  if (evidence_->Add(lines, folderHandle_, &error)) return;
  // Without the evidence, the copies stay; the originals put back go again.
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready) continue;
    if (job->named) {
      RemoveFile(folder_.str() + kPathSeparator + job->newName.str());
    }
    job->AddError("Couldn't write to anonymous_record.undo: %s", error.c_str());
    job->named = job->ready = false;
  }
}

void RestoreCommit::Name(FileJob* job, int* restored) {
  if (job->inPlace) return;
  const std::string old = job->newName.str();
  CString line;
  line.Format("  -> %s", old.c_str());
  job->lines.push_back({false, line});
  dryState_->Write(old, job->patientName);
  ++*restored;
}

void RestoreCommit::TakeCopies(FileJob* const* jobs, size_t count,
                               int* restored) {
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (dryState_ && job->ready) Name(job, restored);
    if (!job->ready) continue;
    job->ready = false;
    if (job->named) ++*restored;
    const char* path = job->fullPath;
    const bool deleted =
        dryState_ && dryState_->Written(job->fileName.str())
            ? true
            : job->source.UnchangedAt(path) &&
                  (dryState_ ? DeletableFile(path)
                             : SetFileAside(path, (folder_ + kPathSeparator +
                                                   aside_[i].c_str())) ==
                                   PublishResult::kDone);
    if (!deleted) {
      job->AddError("Couldn't delete old file: %s", path);
      continue;
    }
    if (job->inPlace) {
      CString line;
      line.Format("Finishing earlier restore: deleted %s (restored as %s)",
                  static_cast<LPCTSTR>(job->fileName),
                  static_cast<LPCTSTR>(job->newName));
      job->lines.push_back({false, line});
    }
    job->lineDone = true;
    if (dryState_) dryState_->Delete(job->fileName.str());
  }
}
