// Runs the dialog's "Anonymize" over a folder, without a window.
#ifndef VEILMARK_TESTS_RUN_FOLDER_H_
#define VEILMARK_TESTS_RUN_FOLDER_H_

#include <string>

#include "anonymize/veilmark_dlg.h"

// Presses "Anonymize" with `folder` in the folder box; returns the lines the
// log gained.
std::string RunFolder(CVeilmarkDlg* dlg, const std::string& folder);
std::string RunFolder(const std::string& folder);

#endif  // VEILMARK_TESTS_RUN_FOLDER_H_
