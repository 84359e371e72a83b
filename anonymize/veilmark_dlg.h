// CVeilmarkDlg: the main dialog. Its work side (the run over its folder and
// the log) is free of wxWidgets and lives in anonymize/; its window side lives
// in ui/.
#ifndef VEILMARK_ANONYMIZE_VEILMARK_DLG_H_
#define VEILMARK_ANONYMIZE_VEILMARK_DLG_H_

#include "platform/cdialog.h"
#include "platform/cstring.h"
#include "platform/win_types.h"
#include "platform/win_window.h"
#include "ui/resource.h"

class CVeilmarkDlg : public CDialog {
 public:
  enum { IDD = IDD_VEILMARK_DIALOG };

  // Loads the application's icon into m_hIcon.
  CVeilmarkDlg();

  // Run log: each adds one line ending in "\r\n", then shows the fields.
  void AppendError(LPCTSTR format, ...) __attribute__((format(printf, 2, 3)));
  void AppendProgress(LPCTSTR format, ...)
      __attribute__((format(printf, 2, 3)));

  // "Select Folder...": the folder picker's answer into the folder box.
  void OnSelectFolder();
  // "Anonymize": takes the folder from the controls and runs over it.
  void OnAnonymize();
  // The folder picker: the chosen folder's path, or empty.
  CString BrowseForFolder();
  // Anonymizes every "*.ima" file of m_folder, logging as it goes.
  void RunAnonymization();

  HICON m_hIcon = nullptr;
  CString m_message;
  CString m_folder;
  CString m_log;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnPaint();

 private:
  void AppendLine(const char* prefix);

  DECLARE_MESSAGE_MAP()
};

#endif  // VEILMARK_ANONYMIZE_VEILMARK_DLG_H_
