// What a run left in a folder, read back for the tests and the fuzzer:
// files, entries, the record, and the datasets of DICOM files; and one way
// to run over a folder and keep its log.
#ifndef VEILMARK_TESTS_FILES_H_
#define VEILMARK_TESTS_FILES_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "anonymize/folder_run.h"

using Rows = std::vector<std::vector<std::string>>;

// `folder` and `name` joined by the platform's separator, as the program
// joins them.
std::string Join(const std::string& folder, const std::string& name);
// The path `utf8` for the standard library, which takes the bytes of a
// narrow one in the system's code page on Windows.
std::filesystem::path FsPath(const std::string& utf8);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Removes the file, link or empty folder at `path`, if any.
void RemoveEntry(const std::string& path);
// Whether `path` names anything, a dangling link included.
bool Exists(const std::string& path);
// The entries of `folder`, sorted; with `imaOnly`, those whose names end in
// ".ima" in any letter case.
std::vector<std::string> Names(const std::string& folder, bool imaOnly = false);

// The lines of a record's text after its header: the four fields of each,
// or none for a line that does not hold four.
Rows RecordRows(const std::string& text);

// `bytes` deflated as DICOM's deflated transfer syntax has them: raw, with
// no zlib header.
std::string RawDeflate(const std::string& bytes);

// The dataset of the file at `path`, encoded without its patient name in
// the file's own transfer syntax, after the syntax's name: two files whose
// datasets differ only in the patient name give the same text. Empty when
// the file does not load.
std::string DatasetWithoutPatientName(const std::string& path);
// The whole patient name, or SOP Instance UID, of the file at `path`;
// "<unreadable>" or "" when the file does not load.
std::string StoredPatientName(const std::string& path);
std::string InstanceUid(const std::string& path);
// Each ".ima" of `folder` with its patient name and dataset.
std::map<std::string, std::string> Datasets(const std::string& folder);

// A run over `folder` and its log as the dialog shows it: each line ended
// by CR LF, error lines after "ERROR:".
struct LoggedRun {
  std::string log;
  RunResult result;
};
LoggedRun RunLogged(const std::string& folder,
                    const RunOptions& options = RunOptions());

#endif  // VEILMARK_TESTS_FILES_H_
