// One file of a run or an undo, from the listing to its outcome: its log
// lines, the copy prepared for it on a worker and what the commit made of
// it.
#ifndef VEILMARK_PIPELINE_FILE_JOB_H_
#define VEILMARK_PIPELINE_FILE_JOB_H_

#include <string>
#include <vector>

#include "pipeline/run_log.h"
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
  // With the profile: a run's key file of the copy (a temporary file until
  // the copy takes its name), and whether its pixels may show text; an
  // undo's key file the original came back from.
  std::string keyPath;
  bool mayShowText = false;
  std::string usedKey;

  void AddError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The error line of a copy that could not be written, checked or put in
  // place in `folder`.
  void SaveFailed(const CString& folder);
};

#endif  // VEILMARK_PIPELINE_FILE_JOB_H_
