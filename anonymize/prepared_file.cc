#include "anonymize/prepared_file.h"

#include <cstdarg>

#include "anonymize/anonymous_name.h"
#include "anonymize/element_value.h"
#include "anonymize/nesting_bound.h"
#include "anonymize/verified_save.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"

void FileJob::AddError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString message;
  message.FormatV(format, args);
  va_end(args);
  lines.push_back({true, message});
  failed = true;
}

CString FileJob::MeantPath(const CString& folder) const {
  return folder + "/" + NumberedFileName(anonymousName, extension, 1);
}

namespace {

// Loads the original, reads the two elements and puts the anonymous
// patient name in place; false with an error line when the file gets none.
bool Anonymize(FileJob* job, DcmFileFormat* file) {
  const char* path = job->fullPath;
  OFCondition loaded = LoadOriginal(job->source, file);
  if (loaded.bad()) {
    // Whatever was read before the error is not the whole dataset.
    job->AddError("Couldn't load file: %s (%s)", path, loaded.text());
    return false;
  }
  DcmDataset* dataset = file->getDataset();
  if (!ReadFirstValue(dataset, DCM_PatientName, &job->patientName) ||
      job->patientName.IsEmpty()) {
    job->AddError("No patient name in file: %s", path);
    return false;
  }
  CString studyDate;
  if (!ReadFirstValue(dataset, DCM_StudyDate, &studyDate)) {
    job->AddError("No study date in file: %s", path);
    return false;
  }
  job->anonymousName = MakeAnonymousName(job->patientName, studyDate);
  if (!UsableAsFileName(job->anonymousName)) {
    job->AddError("Anonymous patient name can't be used as a file name: %s",
                  path);
    return false;
  }
  OFCondition put = dataset->putAndInsertString(
      DcmTag(DcmTagKey(0x0010, 0x0010)),
      static_cast<LPCTSTR>(job->anonymousName), OFTrue);
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
  return true;
}

}  // namespace

void StartFile(const CString& folder, FileJob* job) {
  CString announce;
  announce.Format("Anonymizing file: %s", static_cast<LPCTSTR>(job->fileName));
  job->lines.push_back({false, announce});
  job->fullPath = folder + "/" + job->fileName;
}

void PrepareFile(const CString& folder, bool dryRun, FileJob* job) {
  StartFile(folder, job);
  const char* path = job->fullPath;

  // The original stays open, so that the values left in it during the load
  // are read from this very file while the copy is written.
  std::string reason;
  switch (job->source.Open(job->fullPath.str(), &reason)) {
    case SourceFile::kOpened:
      break;
    case SourceFile::kNotRegular:
      job->AddError("Couldn't load file: %s (not a regular file)", path);
      return;
    case SourceFile::kFailed:
      job->AddError("Couldn't load file: %s (%s)", path, reason.c_str());
      return;
  }
  // Kept for the thread's next file: a fresh buffer for each would be
  // fresh memory from the system, paid for page by page.
  thread_local std::string whole;
  if (ReadInWhole(job->source) && !job->source.ReadWhole(&whole, &reason)) {
    job->AddError("Couldn't load file: %s (%s)", path, reason.c_str());
    return;
  }
  switch (CheckNesting(job->source, kMaxNestingLevels, &reason)) {
    case Nesting::kWithin:
      break;
    case Nesting::kTooDeep:
      job->AddError("Couldn't load file: %s (sequences nested too deeply)",
                    path);
      return;
    case Nesting::kUnreadable:
      job->AddError("Couldn't load file: %s (%s)", path, reason.c_str());
      return;
  }
  DcmFileFormat file;
  bool anonymized = Anonymize(job, &file);
  const E_TransferSyntax xfer = file.getDataset()->getOriginalXfer();
  if (anonymized &&
      !(dryRun ? CopyWouldVerify(job->source, &file, xfer)
               : SaveVerifiedCopy(job->source, &file, xfer, folder.str(),
                                  &job->tempPath))) {
    job->AddError("Couldn't save new file: %s",
                  static_cast<LPCTSTR>(job->MeantPath(folder)));
    anonymized = false;
  }
  if (anonymized) job->bytes = job->source.Size();
  job->source.ForgetBytes();
  job->ready = anonymized;
}
