#include "undo/restored_file.h"

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dicom/verified_save.h"
#include "key/recorded_files.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "profile/copy_key.h"
#include "profile/deidentify.h"
#include "text/dataset_text.h"

namespace {

// The error line when the file taken up is not the one the line names.
void NotTheCopy(FileJob* job) {
  job->AddError("Patient name is no longer %s in file: %s",
                static_cast<LPCTSTR>(job->anonymousName),
                static_cast<LPCTSTR>(job->fullPath));
}

// Whether the old name is free, as the folder would be by now in a dry run.
bool OldNameFree(const CString& folder, const UndoState* dryState,
                 const std::string& name) {
  if (dryState && dryState->Written(name)) return false;
  if (dryState && dryState->Deleted(name)) return true;
  return ProbeName(folder.str() + kPathSeparator + name) ==
         PublishResult::kDone;
}

// A dry run's undo of a file that an earlier line of it would have written
// with `patientName`: nothing to load, only names to check.
void PrepareWritten(const CString& folder, const UndoState& dryState,
                    const CString& patientName, FileJob* job) {
  if (patientName.str() != job->anonymousName.str()) {
    NotTheCopy(job);
  } else if (!OldNameFree(folder, &dryState, job->newName.str())) {
    Taken(folder, job);
  } else {
    job->ready = true;
  }
}

}  // namespace

bool UndoState::Written(const std::string& name, CString* patientName) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = written_.find(name);
  if (found == written_.end()) return false;
  if (patientName) *patientName = found->second;
  return true;
}

bool UndoState::Deleted(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return deleted_.count(name) > 0;
}

void UndoState::Write(const std::string& name, const CString& patientName) {
  std::lock_guard<std::mutex> lock(mutex_);
  written_[name] = patientName;
  deleted_.erase(name);
}

void UndoState::Delete(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.erase(name);
  deleted_.insert(name);
}

void Taken(const CString& folder, FileJob* job) {
  job->AddError("Old file name is taken by another file: %s",
                static_cast<LPCTSTR>(folder + kPathSeparator + job->newName));
}

bool StartRestore(const CString& folder, const RecordEntry& entry,
                  FileJob* job) {
  if (!entry.Usable()) {
    job->AddError(
        "Couldn't read line %d of anonymous_record.csv%s", entry.line,
        entry.strayReturn ? " (a carriage return without a line feed)" : "");
    return false;
  }
  job->fileName = entry.newFile;
  job->fullPath = folder + kPathSeparator + entry.newFile;
  job->newName = job->meantName = entry.oldFile;
  job->patientName = entry.oldName;
  job->anonymousName = entry.newName;
  CString announce;
  announce.Format("Restoring file: %s", static_cast<LPCTSTR>(job->fileName));
  job->lines.push_back({false, announce});
  return true;
}

void PrepareRestore(const CString& folder, const UndoState* dryState,
                    const FolderKey* key, const RecordEntry& entry,
                    FileJob* job) {
  const char* path = job->fullPath;
  CString written;
  if (dryState && dryState->Written(job->fileName.str(), &written)) {
    PrepareWritten(folder, *dryState, written, job);
    return;
  }

  thread_local std::string whole;
  DcmFileFormat file;
  std::string reason;
  const bool gone = dryState && dryState->Deleted(job->fileName.str());
  if (gone || !OpenAndLoad(path, &job->source, &whole, &file, &reason)) {
    job->source.ForgetBytes();
    job->source.Close();
    job->AddError("Couldn't load file: %s (%s)", path,
                  gone ? "No such file or directory" : reason.c_str());
    return;
  }
  DcmDataset* dataset = file.getDataset();
  // A copy made with the profile comes back from its key, whole; one
  // without, with the name as the record holds it: text in the file's
  // character set, or the bytes an earlier version recorded.
  const bool profile = key && IsProfileCopy(dataset);
  DcmFileFormat original;
  std::string oldName = job->patientName.str();
  const bool asText = RecordedAsText(oldName);
  if (!HoldsRecordedName(dataset, job->anonymousName.str())) {
    NotTheCopy(job);
  } else if (profile && !RestoreFromKey(folder.str(), *key, job->fileName.str(),
                                        &file, &original, &job->usedKey)) {
    job->AddError("Couldn't find the key of file: %s", path);
  } else if (!profile && asText &&
             !DatasetText(dataset).Encode(job->patientName.str(), &oldName)) {
    job->AddError("Original patient name can't be written back exactly: %s",
                  path);
  } else if (!OldNameFree(folder, dryState, entry.oldFile.str())) {
    // An undo stopped short may have put this very original back.
    SourceFile put;
    if (IsOriginalOf(folder, entry, &put, "", key)) {
      job->inPlace = job->ready = true;
    } else {
      Taken(folder, job);
    }
  } else {
    DcmFileFormat* back = profile ? &original : &file;
    const E_TransferSyntax xfer = dataset->getOriginalXfer();
    if (profile) FreshMetaHeader(&original);
    if ((!profile && dataset
                         ->putAndInsertString(DcmTag(DCM_PatientName),
                                              oldName.c_str(), OFTrue)
                         .bad()) ||
        !(dryState ? CopyWouldVerify(job->source, back, xfer)
                   : SaveVerifiedCopy(job->source, back, xfer, folder.str(),
                                      &job->tempPath))) {
      job->SaveFailed(folder);
    } else {
      job->ready = true;
      job->bytes = job->source.Size();
    }
  }
  job->source.ForgetBytes();
}
