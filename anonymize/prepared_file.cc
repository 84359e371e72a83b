#include "anonymize/prepared_file.h"

#include <cstdarg>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dicom/verified_save.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "profile/copy_key.h"
#include "profile/deidentify.h"
#include "text/anonymous_name.h"
#include "text/dataset_text.h"

namespace {

// Reads the two elements of the loaded original, as characters of its
// character set, and puts the anonymous patient name in place; false with
// an error line when the file gets none.
bool Anonymize(FileJob* job, DcmFileFormat* file) {
  const char* path = job->fullPath;
  DcmDataset* dataset = file->getDataset();
  const DatasetText text(dataset);
  std::string nameBytes, name, dateBytes, date;
  const DatasetText::Read nameRead =
      text.FirstValue(DCM_PatientName, &nameBytes, &name);
  if (nameRead == DatasetText::kAbsent || nameBytes.empty()) {
    job->AddError("No patient name in file: %s", path);
    return false;
  }
  const DatasetText::Read dateRead =
      text.FirstValue(DCM_StudyDate, &dateBytes, &date);
  if (dateRead == DatasetText::kAbsent) {
    job->AddError("No study date in file: %s", path);
    return false;
  }
  if (nameRead == DatasetText::kNotText || dateRead == DatasetText::kNotText) {
    job->AddError(
        "%s is not text in the file's character set (%s): %s",
        nameRead == DatasetText::kNotText ? "Patient name" : "Study date",
        text.Declared().c_str(), path);
    return false;
  }
  job->patientName = name;
  job->anonymousName = MakeAnonymousName(name, date);
  if (!UsableAsFileName(job->anonymousName)) {
    job->AddError("Anonymous patient name can't be used as a file name: %s",
                  path);
    return false;
  }
  // The record keeps the name as text, which an undo writes back in the
  // file's character set: the same bytes, but for escape sequences that
  // change nothing.
  std::string anonymousBytes, back;
  if (name.find('\0') != std::string::npos || !text.Encode(name, &back)) {
    job->AddError("Patient name can't be recorded exactly: %s", path);
    return false;
  }
  if (!text.Encode(job->anonymousName.str(), &anonymousBytes, true)) {
    job->AddError(
        "Anonymous patient name can't be written in the file's character "
        "set (%s): %s",
        text.Declared().c_str(), path);
    return false;
  }
  OFCondition put = dataset->putAndInsertString(DcmTag(DCM_PatientName),
                                                anonymousBytes.c_str(), OFTrue);
  if (put.bad()) {
    job->AddError("Failed to insert new patient name %s in file %s",
                  static_cast<LPCTSTR>(job->anonymousName), path);
    return false;
  }
  if (!FileExtension(job->fileName, &job->extension)) {
    job->AddError(
        "Couldn't create anonymous file\r\nUnable to find first '.' in "
        "original filename: %s.\r\nQuitting...",
        static_cast<LPCTSTR>(job->fileName));
    return false;
  }
  job->meantName = NumberedFileName(job->anonymousName, job->extension, 1);
  return true;
}

// Takes `file` through the profile with `key`: the patient's name and ID
// read as text make the pseudonym, and `deidentified` gets what an undo
// needs; false with an error line when the file gets no copy.
bool ApplyProfile(const FolderKey& key, FileJob* job, DcmFileFormat* file,
                  Deidentified* deidentified) {
  const char* path = job->fullPath;
  const DatasetText text(file->getDataset());
  std::string nameBytes, name, idBytes, id;
  const DatasetText::Read nameRead =
      text.FirstValue(DCM_PatientName, &nameBytes, &name);
  const DatasetText::Read idRead =
      text.FirstValue(DCM_PatientID, &idBytes, &id);
  if (nameRead == DatasetText::kNotText || idRead == DatasetText::kNotText) {
    job->AddError(
        "%s is not text in the file's character set (%s): %s",
        nameRead == DatasetText::kNotText ? "Patient name" : "Patient ID",
        text.Declared().c_str(), path);
    return false;
  }
  // The record keeps the name as text, as a run without the profile does.
  std::string back;
  if (name.find('\0') != std::string::npos || !text.Encode(name, &back)) {
    job->AddError("Patient name can't be recorded exactly: %s", path);
    return false;
  }
  if (!FileExtension(job->fileName, &job->extension)) {
    job->AddError(
        "Couldn't create anonymous file\r\nUnable to find first '.' in "
        "original filename: %s.\r\nQuitting...",
        static_cast<LPCTSTR>(job->fileName));
    return false;
  }
  job->patientName = name;
  job->anonymousName = key.Pseudonym(id, name);
  job->meantName = NumberedFileName(job->anonymousName, job->extension, 1);
  *deidentified = Deidentify(key, id, name, file);
  job->mayShowText = deidentified->mayShowText;
  if (job->mayShowText) {
    CString warning;
    warning.Format(
        "Its pixels may show text, which the profile does not remove: %s",
        path);
    job->lines.push_back({false, warning});
  }
  return true;
}

}  // namespace

void StartFile(const CString& folder, FileJob* job) {
  CString announce;
  announce.Format("Anonymizing file: %s", static_cast<LPCTSTR>(job->fileName));
  job->lines.push_back({false, announce});
  job->fullPath = folder + kPathSeparator + job->fileName;
}

void PrepareFile(const CString& folder, bool dryRun, const FolderKey* key,
                 FileJob* job) {
  const char* path = job->fullPath;

  // The original stays open, so that the values left in it during the load
  // are read from this very file while the copy is written. Its bytes are
  // kept for the thread's next file: a fresh buffer for each would be fresh
  // memory from the system, paid for page by page.
  thread_local std::string whole;
  DcmFileFormat file;
  std::string reason;
  if (!OpenAndLoad(job->fullPath.str(), &job->source, &whole, &file, &reason)) {
    job->AddError("Couldn't load file: %s (%s)", path, reason.c_str());
    job->source.ForgetBytes();
    return;
  }
  const E_TransferSyntax xfer = file.getDataset()->getOriginalXfer();
  Deidentified deidentified;
  bool anonymized = key ? ApplyProfile(*key, job, &file, &deidentified)
                        : Anonymize(job, &file);
  // With the profile, the copy's key first.
  if (anonymized && key && !dryRun) {
    if (!WriteCopyKey(folder.str(), job->source,
                      std::move(deidentified.original), xfer, &job->keyPath)) {
      job->AddError("Couldn't save the key of new file: %s",
                    static_cast<LPCTSTR>(folder + kPathSeparator +
                                         "anonymous_record.keys"));
      anonymized = false;
    }
  }
  if (anonymized &&
      !(dryRun ? CopyWouldVerify(job->source, &file, xfer)
               : SaveVerifiedCopy(job->source, &file, xfer, folder.str(),
                                  &job->tempPath))) {
    job->SaveFailed(folder);
    if (!job->keyPath.empty()) RemoveFile(job->keyPath);
    job->keyPath.clear();
    anonymized = false;
  }
  if (anonymized) job->bytes = job->source.Size();
  job->source.ForgetBytes();
  job->ready = anonymized;
}
