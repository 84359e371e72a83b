// CVeilmarkDlg: the main dialog, the program's only window: a folder box,
// a log box and three buttons. A press of "Anonymize" hands the folder to
// the engine (anonymize/folder_run.h) and shows its log as it comes.
#ifndef VEILMARK_UI_VEILMARK_DLG_H_
#define VEILMARK_UI_VEILMARK_DLG_H_

#include "anonymize/folder_run.h"
#include "platform/framework/cdialog.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"
#include "platform/framework/win_window.h"
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
  // During a run the button reads "Stop", and stops it.
  void OnAnonymize();
  // The folder picker: the chosen folder's path, or empty.
  CString BrowseForFolder();
  // Anonymizes every "*.ima" file of m_folder, logging as it goes; the
  // title shows how far it is.
  void RunAnonymization();
  // "Exit", and Escape or the close box: during a run, they stop it, and
  // close the dialog once it has ended.
  void OnOK() override;
  void OnCancel() override;

  HICON m_hIcon = nullptr;
  CString m_message;
  CString m_folder;
  CString m_log;
  // The check box under the folder box: a run with the DICOM Basic Profile.
  int m_profile = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnPaint();

 private:
  void AppendLine(const char* prefix);
  // Shows a run under way, or none.
  void ShowRunning(bool running);

  FolderRun* m_run = nullptr;  // while a run is under way
  int m_closeWith = 0;         // what to end with once it is over

  DECLARE_MESSAGE_MAP()
};

#endif  // VEILMARK_UI_VEILMARK_DLG_H_
