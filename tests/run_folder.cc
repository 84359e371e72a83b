#include "tests/run_folder.h"

std::string RunFolder(CVeilmarkDlg* dlg, const std::string& folder) {
  size_t before = dlg->m_log.str().size();
  dlg->m_folder = folder.c_str();
  dlg->OnAnonymize();
  return dlg->m_log.str().substr(before);
}

std::string RunFolder(const std::string& folder) {
  CVeilmarkDlg dlg;
  return RunFolder(&dlg, folder);
}
