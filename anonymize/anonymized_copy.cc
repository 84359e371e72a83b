#include "anonymize/anonymized_copy.h"

#include <cstdarg>

#include "anonymize/anonymous_name.h"
#include "anonymize/element_value.h"
#include "anonymize/verified_save.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"

namespace {

bool Fail(AnonymizedCopy* copy, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

bool Fail(AnonymizedCopy* copy, const char* format, ...) {
  va_list args;
  va_start(args, format);
  copy->error.FormatV(format, args);
  va_end(args);
  return false;
}

}  // namespace

bool MakeAnonymizedCopy(const std::string& readPath, const CString& fullPath,
                        const CString& fileName, const CString& folder,
                        NameNumbers* names, AnonymizedCopy* copy) {
  DcmFileFormat file;
  OFCondition loaded = file.loadFile(readPath.c_str(), EXS_Unknown,
                                     EGL_noChange, 4096, ERM_autoDetect);
  if (loaded.bad()) {
    // Whatever was read before the error is not the whole dataset.
    return Fail(copy, "Couldn't load file: %s (%s)",
                static_cast<LPCTSTR>(fullPath), loaded.text());
  }
  DcmDataset* dataset = file.getDataset();

  if (!ReadFirstValue(dataset, DCM_PatientName, &copy->patientName) ||
      copy->patientName.IsEmpty()) {
    return Fail(copy, "No patient name in file: %s",
                static_cast<LPCTSTR>(fullPath));
  }
  CString studyDate;
  if (!ReadFirstValue(dataset, DCM_StudyDate, &studyDate)) {
    return Fail(copy, "No study date in file: %s",
                static_cast<LPCTSTR>(fullPath));
  }

  copy->anonymousName = MakeAnonymousName(copy->patientName, studyDate);
  if (!UsableAsFileName(copy->anonymousName)) {
    return Fail(copy, "Anonymous patient name can't be used as a file name: %s",
                static_cast<LPCTSTR>(fullPath));
  }
  OFCondition put = dataset->putAndInsertString(
      DcmTag(DcmTagKey(0x0010, 0x0010)),
      static_cast<LPCTSTR>(copy->anonymousName), OFTrue);
  if (put.bad()) {
    return Fail(copy, "Failed to insert new patient name %s in file %s",
                static_cast<LPCTSTR>(copy->anonymousName),
                static_cast<LPCTSTR>(fullPath));
  }

  CString extension;
  if (!FileExtension(fileName, &extension)) {
    return Fail(copy,
                "Couldn't create anonymous file\r\nUnable to find first '.' "
                "in original filename: %s.\r\nQuitting...",
                static_cast<LPCTSTR>(fileName));
  }

  if (!SaveVerifiedCopy(&file, dataset->getOriginalXfer(), folder,
                        copy->anonymousName, extension, names,
                        &copy->newName)) {
    CString newPath;
    newPath.Format("%s/%s", static_cast<LPCTSTR>(folder),
                   static_cast<LPCTSTR>(copy->newName));
    return Fail(copy, "Couldn't save new file: %s",
                static_cast<LPCTSTR>(newPath));
  }
  return true;
}
