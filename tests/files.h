// What a run left in a folder, read back for the tests and the fuzzer:
// files, entries, the record, and the datasets of DICOM files.
#ifndef VEILMARK_TESTS_FILES_H_
#define VEILMARK_TESTS_FILES_H_

#include <string>
#include <vector>

using Rows = std::vector<std::vector<std::string>>;

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The entries of `folder`, sorted, "." and ".." left out; with `imaOnly`,
// those whose names end in ".ima" in any letter case.
std::vector<std::string> Names(const std::string& folder, bool imaOnly = false);

// The record's text as CSV lines ending in CR LF, fields optionally in
// double quotes. False when it does not parse; a last line cut short by a
// kill still counts as a row when `cutLineAllowed`.
bool ParseRecord(const std::string& text, Rows* rows,
                 bool cutLineAllowed = false);

// The dataset of the file at `path`, encoded without its patient name in
// the file's own transfer syntax, after the syntax's name: two files whose
// datasets differ only in the patient name give the same text. Empty when
// the file does not load.
std::string DatasetWithoutPatientName(const std::string& path);
// The whole patient name, or SOP Instance UID, of the file at `path`;
// "<unreadable>" or "" when the file does not load.
std::string StoredPatientName(const std::string& path);
std::string InstanceUid(const std::string& path);

#endif  // VEILMARK_TESTS_FILES_H_
