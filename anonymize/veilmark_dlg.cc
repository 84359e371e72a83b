#include "anonymize/veilmark_dlg.h"

#include <cstdarg>

#include "platform/resources.h"

CVeilmarkDlg::CVeilmarkDlg() : CDialog(IDD) {
  m_hIcon = LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CVeilmarkDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_FOLDER, m_folder);
  DDX_Text(pDX, IDC_LOG, m_log);
}

void CVeilmarkDlg::AppendLine(const char* prefix) {
  CString line = prefix + m_message + "\r\n";
  m_log += line;
  AppendToDlgItem(IDC_LOG, line);
  UpdateData(FALSE);
}

void CVeilmarkDlg::AppendError(LPCTSTR format, ...) {
  va_list args;
  va_start(args, format);
  m_message.FormatV(format, args);
  va_end(args);
  AppendLine("ERROR:");
}

void CVeilmarkDlg::AppendProgress(LPCTSTR format, ...) {
  va_list args;
  va_start(args, format);
  m_message.FormatV(format, args);
  va_end(args);
  AppendLine("");
}

void CVeilmarkDlg::OnAnonymize() {
  // A folder text too short to name one is refused by the run itself.
  UpdateData(TRUE);
  RunAnonymization();
}
