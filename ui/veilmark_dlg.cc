// CVeilmarkDlg: its message map, fields and log, its handlers, and the
// hand-over of a run to the engine.
#include "ui/veilmark_dlg.h"

#include <chrono>
#include <cstdarg>
#include <thread>

#include "anonymize/folder_run.h"
#include "platform/framework/cpaintdc.h"
#include "platform/framework/resources.h"
#include "platform/framework/win_window.h"
#include "ui/log_queue.h"

BEGIN_MESSAGE_MAP(CVeilmarkDlg, CDialog)
ON_WM_PAINT()
ON_BN_CLICKED(IDC_SELECT_FOLDER, &CVeilmarkDlg::OnSelectFolder)
ON_BN_CLICKED(IDC_ANONYMIZE, &CVeilmarkDlg::OnAnonymize)
END_MESSAGE_MAP()

BOOL CVeilmarkDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

void CVeilmarkDlg::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
  } else {
    CDialog::OnPaint();
  }
}

void CVeilmarkDlg::OnSelectFolder() {
  m_folder = BrowseForFolder();
  UpdateData(FALSE);
}

CVeilmarkDlg::CVeilmarkDlg() : CDialog(IDD) {
  m_hIcon = LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CVeilmarkDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_FOLDER, m_folder);
  DDX_Check(pDX, IDC_PROFILE, m_profile);
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
  if (m_run) {
    m_run->Stop();
    return;
  }
  // A folder text too short to name one is refused by the run itself.
  UpdateData(TRUE);
  RunAnonymization();
}

void CVeilmarkDlg::OnOK() {
  if (!m_run) return CDialog::OnOK();
  m_closeWith = IDOK;
  m_run->Stop();
}

void CVeilmarkDlg::OnCancel() {
  if (!m_run) return CDialog::OnCancel();
  m_closeWith = IDCANCEL;
  m_run->Stop();
}

namespace {

// "1,234": a count as the title shows it.
std::string Thousands(size_t count) {
  std::string digits = std::to_string(count);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}

}  // namespace

void CVeilmarkDlg::ShowRunning(bool running) {
  SetDlgItemText(IDC_ANONYMIZE, running ? "Stop" : "Anonymize");
  EnableDlgItem(IDC_FOLDER, !running);
  EnableDlgItem(IDC_PROFILE, !running);
  EnableDlgItem(IDC_SELECT_FOLDER, !running);
  if (!running) SetWindowText("Veilmark");
}

// The run works on a thread of its own, and its lines reach the log here,
// on the dialog's thread, as they come; meanwhile the dialog answers Stop,
// Exit, Escape and the close box.
void CVeilmarkDlg::RunAnonymization() {
  LogQueue queue;
  RunOptions options;
  options.profile.basic = m_profile != 0;
  FolderRun run(m_folder, &queue, options);
  m_run = &run;
  ShowRunning(true);
  std::thread runner([&] {
    run.Run();
    queue.Close();
  });
  std::vector<LogLine> lines;
  size_t done = 0, total = 0;
  // The title, and the user's clicks and keys, are seen to a few times a
  // second: each costs the window system more than a line of the log.
  const auto kEvery = std::chrono::milliseconds(100);
  auto seen = std::chrono::steady_clock::now() - kEvery;
  bool counted = false;
  while (queue.Take(&lines, &done, &total, kEvery)) {
    const auto now = std::chrono::steady_clock::now();
    const bool look = now - seen >= kEvery;
    if (total > 0 && (look || !counted)) {
      counted = true;
      SetWindowText(
          ("Veilmark - " + Thousands(done) + " of " + Thousands(total))
              .c_str());
    }
    for (const LogLine& line : lines) {
      if (line.error) {
        AppendError("%s", static_cast<LPCTSTR>(line.message));
      } else {
        AppendProgress("%s", static_cast<LPCTSTR>(line.message));
      }
    }
    if (look) {
      PumpWaitingMessages();
      seen = now;
    }
  }
  runner.join();
  m_run = nullptr;
  ShowRunning(false);
  if (m_closeWith == IDOK) CDialog::OnOK();
  if (m_closeWith == IDCANCEL) CDialog::OnCancel();
  m_closeWith = 0;
}
