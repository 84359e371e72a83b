// The run over one folder: open the record, hand every "*.ima" entry to
// AnonymizeFile, close the record, log the count.
#include <string>

#include "anonymize/record_file.h"
#include "anonymize/veilmark_dlg.h"
#include "platform/find_file.h"

void CVeilmarkDlg::RunAnonymization() {
  CString searchPattern, recordPath;
  searchPattern.Format("%s/*.ima", static_cast<LPCTSTR>(m_folder));
  recordPath.Format("%s/anonymous_record.csv", static_cast<LPCTSTR>(m_folder));

  bool openFailed = false;
  std::string reason;
  if (!OpenRecordFile(&m_recordFile, recordPath, &openFailed, &reason)) {
    if (openFailed) {
      AppendError(
          "Couldn't create/open anonymous_record.csv to store original "
          "patient names in.\nCheck folder permissions in: %s\nQuitting...",
          static_cast<LPCTSTR>(m_folder));
    } else {
      AppendError("Couldn't write to anonymous_record.csv: %s", reason.c_str());
    }
    return;
  }

  m_newNames.Clear();
  int count = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(searchPattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (AnonymizeFile(m_folder, found.cFileName)) ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  if (!CloseRecordFile(&m_recordFile, &reason)) {
    AppendError("Couldn't close anonymous_record.csv: %s", reason.c_str());
  }
  ++m_completedRuns;
  AppendProgress("Done. %d file(s) modified.", count);
}
