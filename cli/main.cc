// veilmark-cli FOLDER: the dialog's "Anonymize" without the window.
#include <cstdio>
#include <cstring>
#include <string>

#include "anonymize/veilmark_dlg.h"
#include "veilmark_version.h"

namespace {

const char kUsage[] =
    "usage: veilmark-cli FOLDER\n"
    "\n"
    "Anonymizes every *.ima DICOM file in FOLDER, as the Veilmark dialog does\n"
    "when FOLDER is typed into its folder box and \"Anonymize\" is pressed:\n"
    "each file's patient name is replaced by an anonymous name made of the\n"
    "name and the study date, the dataset is written anew under a file named\n"
    "after it, the original is deleted, and anonymous_record.csv in FOLDER\n"
    "maps old to new. The run log goes to standard output.\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when some file failed, 2 when the\n"
    "run could not start.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// The dialog with its log box replaced by standard output: every line is
// printed as it is added.
class CommandLineDlg : public CVeilmarkDlg {
 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CVeilmarkDlg::DoDataExchange(pDX);
    if (pDX->m_bSaveAndValidate) return;
    const std::string& log = m_log.str();
    std::string added;
    for (size_t i = printed_; i < log.size(); ++i) {
      if (log[i] == '\r' && i + 1 < log.size() && log[i + 1] == '\n') continue;
      added += log[i];
    }
    printed_ = log.size();
    std::fwrite(added.data(), 1, added.size(), stdout);
    std::fflush(stdout);
  }

 private:
  size_t printed_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("veilmark-cli " VEILMARK_VERSION);
    return 0;
  }
  // "--" ends the options, for folders whose names start with a dash.
  const char* folder = nullptr;
  if (argc == 2 && std::strncmp(argv[1], "--", 2) != 0) folder = argv[1];
  if (argc == 3 && std::strcmp(argv[1], "--") == 0) folder = argv[2];
  if (!folder) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  CommandLineDlg dlg;
  dlg.m_folder = folder;
  dlg.OnAnonymize();
  if (dlg.completed_runs() == 0) return 2;
  return dlg.error_lines() > 0 ? 1 : 0;
}
