// One file's anonymization: refuse what is not a file, make the verified
// anonymized copy, record it, and only then delete the original.
#include <string>

#include "anonymize/anonymized_copy.h"
#include "anonymize/nesting_bound.h"
#include "anonymize/record_file.h"
#include "anonymize/veilmark_dlg.h"
#include "platform/delete_file.h"
#include "platform/durable_file.h"
#include "platform/large_stack.h"
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
  // The toolkit recurses once per nesting level of a file's sequences: a
  // file too deep for this thread's stack is handed to the deep one.
  const unsigned long shallow =
      static_cast<unsigned long>(CallingStackBytes() / 2 / kBytesPerLevel);
  AnonymizedCopy copy;
  bool made = false;
  auto make = [&] {
    made = MakeAnonymizedCopy(source.ReadPath(), fullPath, fileName, m_folder,
                              &m_newNames, &copy);
  };
  switch (CheckNesting(source, shallow, kMaxNestingLevels, &reason)) {
    case Nesting::kShallow:
      make();
      break;
    case Nesting::kDeep:
      if (RunOnLargeStack(make, &reason)) break;
      [[fallthrough]];
    case Nesting::kUnreadable:
      AppendError("Couldn't load file: %s (%s)", static_cast<LPCTSTR>(fullPath),
                  reason.c_str());
      return false;
    case Nesting::kTooDeep:
      AppendError("Couldn't load file: %s (sequences nested too deeply)",
                  static_cast<LPCTSTR>(fullPath));
      return false;
  }
  if (!made) {
    AppendError("%s", static_cast<LPCTSTR>(copy.error));
    return false;
  }
  CString newPath;
  newPath.Format("%s/%s", static_cast<LPCTSTR>(m_folder),
                 static_cast<LPCTSTR>(copy.newName));

  // The original goes only once the way back to it is on disk.
  if (!WriteRecordLine(&m_recordFile, fileName, copy.newName, copy.patientName,
                       copy.anonymousName, &reason)) {
    AppendError("Couldn't write to anonymous_record.csv: %s", reason.c_str());
    RemoveFile(newPath.str());
    m_newNames.Gone(copy.newName.str());
    return false;
  }

  if (source.StillAt(fullPath.str()) && DeleteFileA(fullPath)) {
    m_newNames.Gone(fileName.str());
  } else {
    AppendError("Couldn't delete old file: %s", static_cast<LPCTSTR>(fullPath));
  }
  return true;
}
