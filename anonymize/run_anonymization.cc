// The dialog's run over its folder: the folder run works on a thread of its
// own, and its lines reach the log here, on the dialog's thread, as they
// come. The dialog takes no other input until the run ends.
#include <thread>

#include "anonymize/folder_run.h"
#include "anonymize/log_queue.h"
#include "anonymize/veilmark_dlg.h"

void CVeilmarkDlg::RunAnonymization() {
  LogQueue queue;
  FolderRun run(m_folder, &queue, RunOptions());
  std::thread runner([&] {
    run.Run();
    queue.Close();
  });
  std::vector<LogLine> lines;
  while (queue.Take(&lines)) {
    for (const LogLine& line : lines) {
      if (line.error) {
        AppendError("%s", static_cast<LPCTSTR>(line.message));
      } else {
        AppendProgress("%s", static_cast<LPCTSTR>(line.message));
      }
    }
  }
  runner.join();
}
