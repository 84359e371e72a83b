// One file of a run, from the listing to its outcome, and the part of its
// anonymization that runs alongside other files': load it, put the
// anonymous patient name in place, save a verified copy to a temporary file.
// An undo's files go the same way back (restored_file.h).
#ifndef VEILMARK_ANONYMIZE_PREPARED_FILE_H_
#define VEILMARK_ANONYMIZE_PREPARED_FILE_H_

#include <string>
#include <vector>

#include "anonymize/run_log.h"
#include "platform/framework/cstring.h"
#include "platform/system/source_file.h"

struct FileJob {
  CString fileName;  // as listed, without the folder: the file taken up
  CString fullPath;
  // Its log lines so far: "Anonymizing file: ..." and its errors.
  std::vector<LogLine> lines;
  // What DCMTK said of it, for standard error: "Warning in file: PATH
  // (...)".
  std::vector<CString> toolkitLines;
  bool failed = false;  // it got an error line
  // An earlier run's copy, still as the record says: not taken up again.
  bool leftAlone = false;

  // True while a verified copy waits to be put in place: in `tempPath`,
  // `bytes` long, already forced to the disk when `synced`.
  bool ready = false;
  SourceFile source;  // the original, held open
  std::string tempPath;
  unsigned long long bytes = 0;
  bool synced = false;
  CString patientName;
  CString anonymousName;
  CString extension;
  CString meantName;   // the name the copy is meant to have
  CString newName;     // once it has one
  bool named = false;  // the copy has taken it
  // An undo's: the copy is already in place (only the file taken up is
  // still to go), and the file's record line is done with.
  bool inPlace = false;
  bool lineDone = false;

  void AddError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The error line of a copy that could not be written, checked or put in
  // place in `folder`.
  void SaveFailed(const CString& folder);
};

// Starts `job`, whose fileName is set, as a file of `folder`: its full
// path, and its first log line "Anonymizing file: NAME".
void StartFile(const CString& folder, FileJob* job);

// Takes `job`, started, as far as a verified copy in a temporary file of
// `folder`, or to the error lines that say why it gets none. With `dryRun`, no
// copy is written. DCMTK recurses once per nesting level of a file's sequences:
// call it on a large stack.
void PrepareFile(const CString& folder, bool dryRun, FileJob* job);

#endif  // VEILMARK_ANONYMIZE_PREPARED_FILE_H_
