// One file's anonymization: load, read the two elements, put the anonymous
// patient name in place, save a verified copy under the new name, record
// it, and only then delete the original.
#include <string>

#include "anonymize/anonymous_name.h"
#include "anonymize/element_value.h"
#include "anonymize/record_file.h"
#include "anonymize/veilmark_dlg.h"
#include "anonymize/verified_save.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/delete_file.h"
#include "platform/durable_file.h"
#include "platform/source_file.h"

bool CVeilmarkDlg::AnonymizeFile(const CString& folder,
                                 const CString& fileName) {
  AppendProgress("Anonymizing file: %s", static_cast<LPCTSTR>(fileName));

  CString fullPath;
  fullPath.Format("%s/%s", static_cast<LPCTSTR>(folder),
                  static_cast<LPCTSTR>(fileName));

  // The original stays open, so that the values left in it during the load
  // are read from this very file while the copy is written.
  SourceFile source;
  std::string reason;
  switch (source.Open(fullPath.str(), &reason)) {
    case SourceFile::kOpened:
      break;
    case SourceFile::kNotRegular:
      AppendError("Couldn't load file: %s (not a regular file)",
                  static_cast<LPCTSTR>(fullPath));
      return false;
    case SourceFile::kFailed:
      AppendError("Couldn't load file: %s (%s)", static_cast<LPCTSTR>(fullPath),
                  reason.c_str());
      return false;
  }

  DcmFileFormat file;
  OFCondition loaded = file.loadFile(source.ReadPath().c_str(), EXS_Unknown,
                                     EGL_noChange, 4096, ERM_autoDetect);
  if (loaded.bad()) {
    // Whatever was read before the error is not the whole dataset.
    AppendError("Couldn't load file: %s (%s)", static_cast<LPCTSTR>(fullPath),
                loaded.text());
    return false;
  }
  DcmDataset* dataset = file.getDataset();

  CString patientName, studyDate;
  if (!ReadFirstValue(dataset, DCM_PatientName, &patientName) ||
      patientName.IsEmpty()) {
    AppendError("No patient name in file: %s", static_cast<LPCTSTR>(fullPath));
    return false;
  }
  if (!ReadFirstValue(dataset, DCM_StudyDate, &studyDate)) {
    AppendError("No study date in file: %s", static_cast<LPCTSTR>(fullPath));
    return false;
  }

  CString anonymousName = MakeAnonymousName(patientName, studyDate);
  if (!UsableAsFileName(anonymousName)) {
    AppendError("Anonymous patient name can't be used as a file name: %s",
                static_cast<LPCTSTR>(fullPath));
    return false;
  }
  OFCondition put =
      dataset->putAndInsertString(DcmTag(DcmTagKey(0x0010, 0x0010)),
                                  static_cast<LPCTSTR>(anonymousName), OFTrue);
  if (put.bad()) {
    AppendError("Failed to insert new patient name %s in file %s",
                static_cast<LPCTSTR>(anonymousName),
                static_cast<LPCTSTR>(fullPath));
    return false;
  }

  CString extension;
  if (!FileExtension(fileName, &extension)) {
    AppendError(
        "Couldn't create anonymous file\r\nUnable to find first '.' in "
        "original filename: %s.\r\nQuitting...",
        static_cast<LPCTSTR>(fileName));
    return false;
  }

  CString newName;
  if (!SaveVerifiedCopy(&file, dataset->getOriginalXfer(), m_folder,
                        anonymousName, extension, &m_newNames, &newName)) {
    AppendError("Couldn't save new file: %s/%s", static_cast<LPCTSTR>(m_folder),
                static_cast<LPCTSTR>(newName));
    return false;
  }
  CString newPath;
  newPath.Format("%s/%s", static_cast<LPCTSTR>(m_folder),
                 static_cast<LPCTSTR>(newName));

  // The original goes only once the way back to it is on disk.
  if (!WriteRecordLine(&m_recordFile, fileName, newName, patientName,
                       anonymousName, &reason)) {
    AppendError("Couldn't write to anonymous_record.csv: %s", reason.c_str());
    RemoveFile(newPath.str());
    m_newNames.Gone(newName.str());
    return false;
  }

  if (source.StillAt(fullPath.str()) && DeleteFileA(fullPath)) {
    m_newNames.Gone(fileName.str());
  } else {
    AppendError("Couldn't delete old file: %s", static_cast<LPCTSTR>(fullPath));
  }
  return true;
}
